// The zelsh session: output sinks, product plugins, script and interactive modes.
#ifndef ZELSH_SHELL_H
#define ZELSH_SHELL_H

#include <iostream>
#include <string>
#include <vector>

#include "interpreter.h"
#include "zelhost/objects/product_plugin.h"

namespace zelsh {

struct ShellOptions {
  bool stopOnError = false;  // -e
  bool loadDefaultProduct = true;
  std::vector<std::string> products;  // --product LIB.so, in order
};

// One shell session: installs itself as the host's callback evaluator and
// output sinks for warnings and errors, loads the product plugins, and
// unloads them (stopping their timers and objects) when it ends.
class Shell {
 public:
  Shell(const ShellOptions& options, std::ostream& out = std::cout);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Exit status: 0 without errors, 1 after an error, 2 when the file cannot be read.
  int runScript(const std::string& path);
  int runText(const std::string& text);
  // Reads statements from a file descriptor (standard input) at a prompt.
  int runInteractive(int fd = 0);
  Interpreter& interpreter() { return interpreter_; }

 private:
  struct Plugin {
    void* handle;
    const ZelProductPlugin* info;
  };
  void loadProduct(const std::string& path, bool quietIfMissing);
  void finish();
  int runAtTerminal(int fd);
  bool runTyped(std::string& pending, const std::string& line);

  ShellOptions options_;
  std::ostream& out_;
  Interpreter interpreter_;
  std::vector<Plugin> plugins_;
  HCallbackEvaluator* previousEvaluator_;
  bool finished_ = false;
};

// Where the bundled simdev plugin lives, relative to the shell's executable
// (the same folders in the build tree and in an installed prefix); empty
// when unknown.
std::string defaultProductPath();

// Why a plugin built against the packed version pluginVersion cannot load
// into this host (both versions named), or empty when it can.
std::string pluginVersionProblem(const std::string& path, int pluginVersion);

}  // namespace zelsh

#endif  // ZELSH_SHELL_H
