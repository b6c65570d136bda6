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
