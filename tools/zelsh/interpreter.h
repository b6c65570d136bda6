// The zelsh interpreter: runs statements, dispatches calls, and evaluates callbacks for the host.
#ifndef ZELSH_INTERPRETER_H
#define ZELSH_INTERPRETER_H

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "ast.h"
#include "hints.h"
#include "value.h"
#include "zelhost/services/services.h"

namespace zelsh {

// What an error or a warning without an identifier of its own is shown with.
constexpr const char* kDefaultErrorId = "zelsh:error";
constexpr const char* kDefaultWarningId = "zelsh:warning";

// An error the user sees: "Error (ID): MESSAGE".
struct ShellError {
  std::string id;
  std::string message;
};

class Interpreter;
// A built-in function: arguments are borrowed; returns a value or null.
using Builtin = std::function<Value(Interpreter&, std::vector<const hvArray*>& args)>;

// Runs zelsh text. Statements of a script run one at a time: an error ends
// the statement that raised it and is printed; queued host events run after
// every top-level statement. The interpreter is also the host's callback
// evaluator (install it with hoxSetCallbackEvaluator): string callbacks run as
// statements at the top level, function handles call zelsh or built-in
// functions. Host thread only.
class Interpreter : public HCallbackEvaluator {
 public:
  explicit Interpreter(std::ostream& out);
  ~Interpreter() override;

  // Runs every statement of the text. With stopOnError, the first error ends
  // the run. Returns false when an error stopped it.
  bool run(const std::string& text, bool stopOnError);
  // Whether the text would end inside a function definition (the
  // interactive shell then reads more lines).
  static bool isIncomplete(const std::string& text);

  // HCallbackEvaluator: failures are thrown as host exceptions.
  void evalString(const std::string& statements) override;
  void callFunction(const std::string& name, int nargs, hvArray* args[]) override;

  // Prints an error and counts it.
  void reportError(const std::string& id, const std::string& message);
  int errorCount() const { return errors_; }
  std::ostream& out() { return out_; }

  // Calls a function by name with the shell's dispatch order.
  Value call(const std::string& name, std::vector<const hvArray*>& args);
  // Runs queued host events (at most one level deep: events that run
  // statements do not process events themselves).
  void processEvents();

  static void registerBuiltins(std::map<std::string, Builtin>& table);

  // What completion and help read. Names come ascending.
  std::vector<std::string> variableNames() const;
  const hvArray* variable(const std::string& name) const;  // null when unset
  std::vector<std::string> userFunctionNames() const;
  std::vector<std::string> builtinNames() const;
  bool isUserFunction(const std::string& name) const { return functions_.count(name) > 0; }
  // User function parameters, for "help NAME".
  std::vector<std::string> userFunctionParams(const std::string& name) const;

  // With hints on, an error about a property the object lacks or a value it
  // refuses is followed by a line that names what would fit.
  void setShowHints(bool on) { showHints_ = on; }
  // Runs a property access of obj; when it fails, the error carries the hint
  // that goes with it.
  template <class F>
  auto accessProperty(QxInterface* obj, const std::string& name, F access) -> decltype(access());

  // The longest "pause" allowed (a fuzzer keeps it short).
  void setPauseLimit(double seconds) { pauseLimit_ = seconds; }
  double pauseLimit() const { return pauseLimit_; }

 private:
  using Frame = std::map<std::string, Value>;
  struct Function {
    std::vector<std::string> params;
    std::shared_ptr<std::vector<StmtPtr>> body;
  };

  void execute(const Stmt& s);
  void assign(const Stmt& s);
  Value setPath(Value base, const std::vector<std::string>& fields, std::size_t i, Value v);
  Value evaluate(const Expr& e);
  Value evaluateRequired(const Expr& e);
  Value evaluateIdent(const Expr& e);
  Value evaluateField(const Expr& e);
  Value evaluateCall(const Expr& e);
  Value evaluateMatrix(const Expr& e);
  Value evaluateCell(const Expr& e);
  Value evaluateUnary(const Expr& e);
  Value evaluateBinary(const Expr& e);
  Value callUser(const Function& f, const std::string& name, std::vector<const hvArray*>& args);
  Value callMethod(const std::string& name, std::vector<const hvArray*>& args, bool* found);
  Value callProduct(const std::string& name, std::vector<const hvArray*>& args);
  void runStatements(const std::string& text, bool stopOnError, bool topLevel, bool* ok);

  std::ostream& out_;
  std::vector<Frame> frames_;
  Frame* current_;
  std::map<std::string, Function> functions_;
  std::map<std::string, Builtin> builtins_;
  int errors_ = 0;
  int depth_ = 0;  // nesting of user function calls and callbacks
  bool inEvents_ = false;
  double pauseLimit_ = 1e7;
  bool showHints_ = false;
  // The hint and the error it belongs to: shown only right after that error.
  std::string pendingHint_;
  std::string hintFor_;
};

// Converts whatever a host call threw into the error the user sees. Call only
// from inside a catch block.
ShellError currentError();

template <class F>
auto Interpreter::accessProperty(QxInterface* obj, const std::string& name, F access)
    -> decltype(access()) {
  try {
    return access();
  } catch (...) {
    ShellError e = currentError();
    if (showHints_) {
      pendingHint_ = propertyHint(obj, name, e.id);
      hintFor_ = e.id + '\n' + e.message;
    }
    throw e;
  }
}

}  // namespace zelsh

#endif  // ZELSH_INTERPRETER_H
