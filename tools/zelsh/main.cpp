// zelsh: the host language's command line.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "shell.h"
#include "zelobjsys/property_file_lint.h"

namespace {

int usage() {
  std::cout << "Usage: zelsh [-e] [--product LIB.so]... [SCRIPT.zel]\n"
               "       zelsh --lint FILE.xml [SECTION]\n";
  return 2;
}

void printHelp() {
  std::cout << "Usage: zelsh [-e] [--product LIB.so]... [--no-default-product] [SCRIPT.zel]\n"
               "       zelsh --lint FILE.xml [SECTION]\n"
               "\n"
               "Runs SCRIPT.zel, or reads statements at a prompt when no script is given.\n"
               "\n"
               "Options:\n"
               "  -e                    stop at the first error (exit status 1)\n"
               "  --product LIB.so      load one more product plugin (repeatable)\n"
               "  --no-default-product  do not load the bundled simdev plugin\n"
               "  --lint FILE [SECTION] check a property file (exit status 1 when it finds\n"
               "                        anything)\n"
               "  -h, --help            show this help and exit\n"
               "\n"
               "At a terminal the prompt has line editing, history and Tab completion;\n"
               "type help to list the statements and functions. The history is kept in\n"
               "$ZELSH_HISTORY (default ~/.zelsh_history).\n"
               "\n"
               "Exit status: 0 without errors, 1 after an error, 2 when the script cannot\n"
               "be read or the command line is wrong.\n";
}

// Prints what the property file linter finds; exit status 1 when it finds anything.
int lint(int argc, char** argv) {
  if (argc < 3 || argc > 4) return usage();
  zelobjsys::LintOptions options;
  if (argc == 4) options.section = argv[3];
  std::vector<zelobjsys::LintFinding> findings = zelobjsys::lintPropertyFile(argv[2], options);
  for (const auto& f : findings) std::cout << zelobjsys::formatFinding(f) << '\n';
  return findings.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--lint") == 0) return lint(argc, argv);
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
      printHelp();
      return 0;
    } else if ((!arg.empty() && arg[0] == '-') || !script.empty()) {
      return usage();  // an unknown option, or a second script
    } else {
      script = arg;
    }
  }
  zelsh::Shell shell(options);
  if (!script.empty()) return shell.runScript(script);
  return shell.runInteractive(0);
}
