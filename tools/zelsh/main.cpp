// zelsh: the host language's command line.
#include <cstring>
#include <iostream>
#include <string>

#include "shell.h"

namespace {

int usage() {
  std::cout << "Usage: zelsh [-e] [--product LIB.so]... [SCRIPT.zel]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zelsh::ShellOptions options;
  std::string script;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-e") {
      options.stopOnError = true;
    } else if (arg == "--product" && i + 1 < argc) {
      options.products.push_back(argv[++i]);
    } else if (arg == "--no-default-product") {
      options.loadDefaultProduct = false;
    } else if (arg == "-h" || arg == "--help") {
      usage();
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage();
    } else if (script.empty()) {
      script = arg;
    } else {
      return usage();
    }
  }
  zelsh::Shell shell(options);
  if (!script.empty()) return shell.runScript(script);
  return shell.runInteractive(0);
}
