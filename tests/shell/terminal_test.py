#!/usr/bin/env python3
"""Drives zelsh at a pseudo-terminal as a user would: keystrokes in, screen text out."""
import os
import pty
import re
import select
import signal
import sys
import tempfile
import time
import unittest

ZELSH = None
UP, LEFT, CTRL_C, CTRL_D, TAB = "\x1b[A", "\x1b[D", "\x03", "\x04", "\t"


class Session:
    def __init__(self, history):
        env = dict(os.environ, TERM="xterm", ZELSH_HISTORY=history, HOME=os.path.dirname(history))
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execve(ZELSH, [ZELSH], env)
        self.seen = ""  # everything the screen was sent, escape sequences removed
        self.mark = 0

    def read_for(self, seconds):
        end = time.time() + seconds
        while time.time() < end:
            ready, _, _ = select.select([self.fd], [], [], max(0, end - time.time()))
            if not ready:
                break
            try:
                data = os.read(self.fd, 4096).decode("utf-8", "replace")
            except OSError:
                return False
            if not data:
                return False
            self.seen += re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b[=>]|\x07", "", data)
        return True

    def expect(self, text, seconds=5):
        """Waits until text shows after the last mark; returns what came before it."""
        end = time.time() + seconds
        while text not in self.seen[self.mark:]:
            if time.time() > end or not self.read_for(0.05):
                raise AssertionError("%r not shown; screen after mark:\n%s" % (text, self.seen[self.mark:]))
        at = self.seen.index(text, self.mark)
        before = self.seen[self.mark:at]
        self.mark = at + len(text)
        return before

    def type(self, keys, pause=0.05):
        os.write(self.fd, keys.encode())
        time.sleep(pause)

    def statement(self, keys):
        self.expect("zel> ")
        self.type(keys)

    def close(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        except OSError:
            pass
        os.close(self.fd)


class Terminal(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.history = os.path.join(self.dir.name, "history")
        self.zel = Session(self.history)
        self.zel.statement("devclass('scope', 'sc" + TAB + ", 'Scope', 'DSO1000');\r")
        self.zel.statement("s = devi" + TAB + "('scope');\r")

    def tearDown(self):
        self.zel.close()
        self.dir.cleanup()

    def test_completion_lists_and_fills_in(self):
        zel = self.zel
        zel.statement("s.trig" + TAB + TAB)
        listing = zel.expect("TriggerSource")
        self.assertIn("TriggerCount", listing)  # several candidates, listed
        zel.type("M" + TAB + " = 'au" + TAB + "\r")
        zel.statement("s.TriggerMode\r")
        zel.expect("'auto'")  # the property and the enumeration text were completed

    def test_history_editing_interrupt_and_end_of_input(self):
        zel = self.zel
        zel.statement("x = 41\r")
        zel.expect("x = 41")
        zel.statement(UP + LEFT + "7\r")  # recalled, the cursor moved, a digit inserted
        zel.expect("x = 471")
        zel.statement("y = 5" + CTRL_C)  # the line is dropped
        zel.statement("z = 6" + CTRL_D)  # not run either
        zel.type(CTRL_C)
        zel.statement("exist = [x 0]\r")
        zel.expect("exist = [471 0]")
        zel.statement("y\r")
        zel.expect("Undefined function or variable 'y'")
        zel.statement("z\r")
        zel.expect("Undefined function or variable 'z'")
        zel.statement("pause(10)\r")
        time.sleep(0.3)
        zel.type(CTRL_C)
        self.assertTrue(zel.expect("Error (zelsh:interrupted)").endswith("\n"))
        zel.statement(CTRL_D)
        zel.mark = len(zel.seen)
        while zel.read_for(0.5):  # to the end of its output
            pass
        _, status = os.waitpid(zel.pid, 0)
        self.assertEqual(status, 0, zel.seen[zel.mark:])
        with open(self.history) as f:
            self.assertIn("x\\040=\\040471", f.read())

    def test_timer_ticks_show_at_an_idle_prompt(self):
        zel = self.zel
        zel.statement("s.TimerFcn = 'disp(''tick'')'; s.TimerPeriod = 0.05; start(s)\r")
        zel.statement("half")
        zel.mark = len(zel.seen)
        zel.read_for(1.0)
        shown = zel.seen[zel.mark:]
        self.assertGreaterEqual(shown.count("tick"), 5, shown)
        self.assertTrue(shown.rstrip(" ").endswith("zel> half"), shown)  # redrawn with the typed text
        zel.type(CTRL_C)
        zel.statement("stop(s)\r")

    def test_hints_follow_errors(self):
        zel = self.zel
        zel.statement("s.TrigerMode = 'auto'\r")
        zel.expect("There is no property named 'TrigerMode' for class 'scope'.")
        zel.expect("  Did you mean 'TriggerMode'?")
        for read in ("x = s.TrigerMode\r", "get(s, 'TrigerMode')\r"):
            zel.statement(read)
            zel.expect("There is no property named 'TrigerMode' for class 'scope'.")
            zel.expect("  Did you mean 'TriggerMode'?")
        zel.statement("set(s, 'Coupling', 'XY')\r")
        zel.expect("  Allowed values: 'DC', 'AC', 'GND'.")


class UnwritableHistory(unittest.TestCase):
    def test_warns_once_and_goes_on(self):
        zel = Session("/nonexistent/folder/history")
        try:
            for n in (1, 2, 3):
                zel.statement("v = %d\r" % n)
                zel.expect("v = %d" % n)
            self.assertEqual(zel.seen.count("Warning (zelsh:history)"), 1, zel.seen)
        finally:
            zel.close()


if __name__ == "__main__":
    ZELSH = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
