// The zelsh session.
#include "shell.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <csignal>

#include "line_editor.h"
#include "zelhost/objects/qx_application.h"

namespace zelsh {

namespace {

// Set while a statement typed at a terminal runs: the terminal has echoed
// "^C", and the interrupted error must start on a line of its own.
std::atomic<bool> newlineOnInterrupt{false};

void onInterrupt(int) {
  HostInterruptState::SetInterruptPending(true);
  if (newlineOnInterrupt.load()) (void)!::write(STDOUT_FILENO, "\n", 1);
}

struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

// Reads the whole file; on failure, says why. A folder opens like a file and
// fails only when read, so it is refused before.
bool readFile(const std::string& path, std::string& text, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    reason = std::strerror(EISDIR);
    return false;
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      return false;
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
}

// Editors may put a UTF-8 byte-order mark before the first line.
void dropByteOrderMark(std::string& text) {
  static const char kMark[] = "\xEF\xBB\xBF";
  if (text.compare(0, sizeof kMark - 1, kMark) == 0) text.erase(0, sizeof kMark - 1);
}

}  // namespace

std::string defaultProductPath() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "";
  exe[n] = '\0';
  std::string dir(exe);
  dir = dir.substr(0, dir.rfind('/'));
  return dir + "/" + ZELSH_PLUGIN_RELDIR + "/libsimdev.so";
}

namespace {

std::string versionText(int packed) {
  return std::to_string(packed / 10000) + "." + std::to_string(packed / 100 % 100) + "." +
         std::to_string(packed % 100);
}

}  // namespace

std::string pluginVersionProblem(const std::string& path, int pluginVersion) {
  if (zelVersionMajor(pluginVersion) == zelVersionMajor(kZelProductAbiVersion)) return "";
  return "Cannot load product '" + path + "': it was built against version " +
         versionText(pluginVersion) + ", this host is version " +
         versionText(kZelProductAbiVersion) + "; rebuild the product against this version.";
}

Shell::Shell(const ShellOptions& options, std::ostream& out)
    : options_(options), out_(out), interpreter_(out) {
  previousEvaluator_ = hoxSetCallbackEvaluator(&interpreter_);
  hoxSetWarningSink([this](const std::string& id, const std::string& message) {
    out_ << "Warning (" << (id.empty() ? kDefaultWarningId : id) << "): " << message << std::endl;
  });
  hoxSetErrorSink([this](const std::string& id, const std::string& message) {
    interpreter_.reportError(id, message);
  });
  // No SA_RESTART: Ctrl-C must interrupt a read at the prompt, which then
  // clears the line.
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  if (options_.loadDefaultProduct) loadProduct(defaultProductPath(), true);
  for (const std::string& p : options_.products) loadProduct(p, false);
}

Shell::~Shell() { finish(); }

void Shell::loadProduct(const std::string& path, bool quietIfMissing) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (!quietIfMissing)
      interpreter_.reportError("zelsh:product", "Cannot load product '" + path + "': " + dlerror());
    return;
  }
  auto entry = reinterpret_cast<ZelProductEntry>(dlsym(handle, kZelProductEntryName));
  const ZelProductPlugin* info = entry != nullptr ? entry() : nullptr;
  if (info == nullptr) {
    interpreter_.reportError("zelsh:product", "'" + path + "' is not a product plugin.");
    dlclose(handle);
    return;
  }
  std::string versionProblem = pluginVersionProblem(path, info->abiVersion);
  if (!versionProblem.empty()) {
    interpreter_.reportError("zelsh:productVersion", versionProblem);
    dlclose(handle);
    return;
  }
  if (info->load == nullptr) {
    interpreter_.reportError("zelsh:product", "'" + path + "' is not a product plugin.");
    dlclose(handle);
    return;
  }
  // The functions load() registers belong to the product: another product
  // cannot take them over by accident.
  std::string previous = hoxSetCurrentProduct(info->name != nullptr ? info->name : path);
  try {
    info->load();
  } catch (...) {
    ShellError e = currentError();
    interpreter_.reportError(e.id, e.message);
  }
  hoxSetCurrentProduct(previous);
  plugins_.push_back({handle, info});
}

void Shell::finish() {
  if (finished_) return;
  finished_ = true;
  interpreter_.processEvents();
  for (auto it = plugins_.rbegin(); it != plugins_.rend(); ++it) {
    std::string previous = hoxSetCurrentProduct(it->info->name != nullptr ? it->info->name : "");
    try {
      if (it->info->unload != nullptr) it->info->unload();
    } catch (...) {
      ShellError e = currentError();
      interpreter_.reportError(e.id, e.message);
    }
    hoxSetCurrentProduct(previous);
  }
  QxApplicationManager::shutdown();
  // The plugins stay mapped: what a product made to live as long as the
  // process (its data types, say) must not vanish under the host, which may
  // still point at it, nor be reported as lost when the process ends.
  plugins_.clear();
  hoxSetCallbackEvaluator(previousEvaluator_);
  hoxSetWarningSink(nullptr);
  hoxSetErrorSink(nullptr);
  std::signal(SIGINT, SIG_DFL);
  out_.flush();
}

int Shell::runScript(const std::string& path) {
  std::string text, reason;
  if (!readFile(path, text, reason)) {
    out_ << "Error (zelsh:cannotRead): Cannot read script '" << path << "': " << reason << "."
         << std::endl;
    return 2;
  }
  dropByteOrderMark(text);
  return runText(text);
}

int Shell::runText(const std::string& text) {
  interpreter_.run(text, options_.stopOnError);
  finish();
  return interpreter_.errorCount() > 0 ? 1 : 0;
}

namespace {

enum class ReadResult { kLine, kEnd, kInterrupted };

// Reads one line from a file descriptor. Unlike a stream, a read interrupted
// by Ctrl-C comes back at once, so the prompt can drop what was typed.
ReadResult readLine(int fd, std::string& pendingBytes, std::string& line) {
  for (;;) {
    std::size_t nl = pendingBytes.find('\n');
    if (nl != std::string::npos) {
      line = pendingBytes.substr(0, nl);
      pendingBytes.erase(0, nl + 1);
      return ReadResult::kLine;
    }
    char buf[4096];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) {
      if (!HostInterruptState::IsInterruptPending()) continue;
      pendingBytes.clear();
      return ReadResult::kInterrupted;
    }
    if (n <= 0) {
      if (pendingBytes.empty()) return ReadResult::kEnd;
      line.swap(pendingBytes);
      pendingBytes.clear();
      return ReadResult::kLine;
    }
    pendingBytes.append(buf, static_cast<std::size_t>(n));
  }
}

}  // namespace

// Runs what was typed once it is a whole statement; true when it ran.
bool Shell::runTyped(std::string& pending, const std::string& line) {
  pending += line + "\n";
  if (Interpreter::isIncomplete(pending)) return false;
  interpreter_.run(pending, false);
  pending.clear();
  return true;
}

int Shell::runInteractive(int fd) {
  if (isatty(fd) && isatty(STDOUT_FILENO) && &out_ == &std::cout) return runAtTerminal(fd);
  bool prompt = isatty(fd);  // piped input gets no prompt noise
  std::string pending, bytes;
  for (;;) {
    if (prompt) out_ << (pending.empty() ? "zel> " : "...> ") << std::flush;
    std::string line;
    ReadResult r = readLine(fd, bytes, line);
    if (r == ReadResult::kEnd) break;
    HostInterruptState::SetInterruptPending(false);
    if (r == ReadResult::kInterrupted) {  // Ctrl-C at the prompt clears the line
      pending.clear();
      out_ << '\n';
      continue;
    }
    runTyped(pending, line);
  }
  if (prompt) out_ << '\n';
  finish();
  return 0;
}

int Shell::runAtTerminal(int fd) {
  interpreter_.setShowHints(true);
  {
    LineEditor editor(interpreter_, out_, fd);
    std::string pending;
    for (;;) {
      std::string line;
      LineEditor::Result r = editor.read(pending.empty() ? "zel> " : "...> ", line);
      if (r == LineEditor::Result::kEnd) break;
      if (r == LineEditor::Result::kInterrupted) {
        pending.clear();
        continue;
      }
      editor.remember(line);
      newlineOnInterrupt = true;
      runTyped(pending, line);
      newlineOnInterrupt = false;
      HostInterruptState::SetInterruptPending(false);
    }
  }
  out_ << '\n';
  finish();
  return 0;
}

}  // namespace zelsh
