// The zelsh session.
#include "shell.h"

#include <dlfcn.h>
#include <unistd.h>

#include <signal.h>
#include <cerrno>
#include <climits>
#include <cstdio>

#include <csignal>
#include <fstream>
#include <sstream>

#include "zelhost/qx_application.h"

namespace zelsh {

namespace {

void onInterrupt(int) { HostInterruptState::SetInterruptPending(true); }

}  // namespace

std::string defaultProductPath() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "";
  exe[n] = '\0';
  std::string dir(exe);
  dir = dir.substr(0, dir.rfind('/'));
  return dir + "/../lib/libsimdev.so";
}

Shell::Shell(const ShellOptions& options, std::ostream& out)
    : options_(options), out_(out), interpreter_(out) {
  previousEvaluator_ = hoxSetCallbackEvaluator(&interpreter_);
  hoxSetWarningSink([this](const std::string& id, const std::string& message) {
    out_ << "Warning (" << id << "): " << message << std::endl;
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
  if (info == nullptr || info->abiVersion != kZelProductAbiVersion || info->load == nullptr) {
    interpreter_.reportError("zelsh:product", "'" + path + "' is not a product plugin.");
    dlclose(handle);
    return;
  }
  try {
    info->load();
  } catch (...) {
    ShellError e = currentError();
    interpreter_.reportError(e.id, e.message);
  }
  plugins_.push_back({handle, info});
}

void Shell::finish() {
  if (finished_) return;
  finished_ = true;
  interpreter_.processEvents();
  for (auto it = plugins_.rbegin(); it != plugins_.rend(); ++it) {
    try {
      if (it->info->unload != nullptr) it->info->unload();
    } catch (...) {
      ShellError e = currentError();
      interpreter_.reportError(e.id, e.message);
    }
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
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    out_ << "Error (zelsh:cannotRead): Cannot read script '" << path << "'." << std::endl;
    return 2;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return runText(text.str());
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

int Shell::runInteractive(int fd) {
  std::string pending, bytes;
  for (;;) {
    out_ << (pending.empty() ? "zel> " : "...> ") << std::flush;
    std::string line;
    ReadResult r = readLine(fd, bytes, line);
    if (r == ReadResult::kEnd) break;
    HostInterruptState::SetInterruptPending(false);
    if (r == ReadResult::kInterrupted) {  // Ctrl-C at the prompt clears the line
      pending.clear();
      out_ << '\n';
      continue;
    }
    pending += line + "\n";
    if (Interpreter::isIncomplete(pending)) continue;
    interpreter_.run(pending, false);
    pending.clear();
  }
  out_ << '\n';
  finish();
  return 0;
}
}  // namespace zelsh
