// The zelsh interpreter: statements, expressions and call dispatch.
#include "interpreter.h"

#include <cxxabi.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "help.h"
#include "lexer.h"
#include "parser.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelutil.h"

namespace zelsh {

namespace {

// Calls deeper than this are refused instead of overflowing the stack.
constexpr int kMaxDepth = 200;

std::string hostExceptionId(const Exception* e) {
  if (auto* id = dynamic_cast<const ErrorIdException*>(e)) return id->getId();
  if (dynamic_cast<const InvalidPropertyException*>(e)) return "PULVRA:invalidProperty";
  if (dynamic_cast<const SetDeniedException*>(e)) return "PULVRA:setDenied";
  if (dynamic_cast<const AmbiguousPropertyException*>(e)) return "PULVRA:ambiguousProperty";
  if (dynamic_cast<const InvalidEnumValueException*>(e)) return "PULVRA:invalidEnumValue";
  if (dynamic_cast<const ClassRedefinedException*>(e)) return "PULVRA:classRedefined";
  return "PULVRA:error";
}

QxInterface* objectOf(const hvArray* v) {
  return hvIsObject(v) && hvGetNumberOfElements(v) == 1 ? hvGetObjectHandle(v) : nullptr;
}

bool isNumericLike(const hvArray* v) { return hvIsNumeric(v) || hvIsLogical(v); }

// What can be said of an exception of a type zelsh does not know: its type's name.
std::string unknownExceptionText() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) return "Unknown error.";
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(
      abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), std::free);
  return std::string("An exception of type '") + (readable ? readable.get() : type->name()) +
         "' escaped.";
}

// The error being handled, whatever was thrown.
ShellError caughtError() {
  try {
    throw;
  } catch (const ShellError& e) {
    return e;
  } catch (Exception* e) {
    std::unique_ptr<Exception> owned(e);
    return {hostExceptionId(e), e->getMessage()};
  } catch (zelutil::ZLException* e) {
    std::unique_ptr<zelutil::ZLException> owned(e);
    return {e->getID(), e->getMessage()};
  } catch (const zelutil::ZLException& e) {
    return {e.getID(), e.getMessage()};
  } catch (const IUserException& e) {
    return {e.getId(), e.getMessage()};
  } catch (const InterruptException& e) {
    return {"zelsh:interrupted", e.getMessage()};
  } catch (const SyntaxError& e) {
    return {"zelsh:syntax", e.message + " at line " + std::to_string(e.line) + ", column " +
                                std::to_string(e.column) + "."};
  } catch (const std::bad_alloc&) {
    return {"zelsh:outOfMemory", "Out of memory."};
  } catch (const std::exception& e) {
    return {"zelsh:internal", e.what()};
  } catch (...) {
    return {"zelsh:internal", unknownExceptionText()};
  }
}

}  // namespace

ShellError currentError() {
  ShellError e = caughtError();
  if (e.id.empty()) e.id = kDefaultErrorId;
  return e;
}

Interpreter::Interpreter(std::ostream& out) : out_(out), frames_(1) {
  current_ = &frames_[0];
  registerBuiltins(builtins_);
  builtins_["help"] = help;
}

Interpreter::~Interpreter() = default;

void Interpreter::reportError(const std::string& id, const std::string& message) {
  ++errors_;
  out_ << "Error (" << (id.empty() ? kDefaultErrorId : id) << "): " << message << std::endl;
  if (!pendingHint_.empty() && hintFor_ == id + '\n' + message) {
    out_ << "  " << pendingHint_ << std::endl;
  }
  pendingHint_.clear();
}

namespace {

template <class Map>
std::vector<std::string> keysOf(const Map& map) {
  std::vector<std::string> names;
  names.reserve(map.size());
  for (const auto& entry : map) names.push_back(entry.first);
  return names;
}

}  // namespace

std::vector<std::string> Interpreter::variableNames() const { return keysOf(*current_); }

const hvArray* Interpreter::variable(const std::string& name) const {
  auto it = current_->find(name);
  return it != current_->end() ? it->second.get() : nullptr;
}

std::vector<std::string> Interpreter::userFunctionNames() const { return keysOf(functions_); }

std::vector<std::string> Interpreter::builtinNames() const { return keysOf(builtins_); }

std::vector<std::string> Interpreter::userFunctionParams(const std::string& name) const {
  auto it = functions_.find(name);
  return it != functions_.end() ? it->second.params : std::vector<std::string>();
}

bool Interpreter::isIncomplete(const std::string& text) {
  Parser p(tokenize(text));
  try {
    while (p.next()) {
    }
  } catch (const SyntaxError&) {
  }
  return p.endedInsideFunction();
}

bool Interpreter::run(const std::string& text, bool stopOnError) {
  bool ok = true;
  runStatements(text, stopOnError, true, &ok);
  return ok;
}

void Interpreter::runStatements(const std::string& text, bool stopOnError, bool topLevel,
                                bool* ok) {
  Parser parser(tokenize(text));
  for (;;) {
    try {
      StmtPtr s = parser.next();
      if (!s) break;
      execute(*s);
    } catch (...) {
      ShellError e = currentError();
      if (!topLevel) throw e;
      reportError(e.id, e.message);
      if (stopOnError) {
        *ok = false;
        return;
      }
    }
    if (topLevel) processEvents();
    if (topLevel && stopOnError && errors_ > 0) {
      *ok = false;  // an event's callback failed
      return;
    }
  }
}

void Interpreter::processEvents() {
  if (inEvents_) return;
  inEvents_ = true;
  try {
    hoxProcessPendingEvents();
  } catch (...) {
    inEvents_ = false;
    ShellError e = currentError();
    reportError(e.id, e.message);
    return;
  }
  inEvents_ = false;
}

void Interpreter::execute(const Stmt& s) {
  switch (s.kind) {
    case Stmt::kFunction:
      functions_[s.target] = Function{s.params, s.body};
      return;
    case Stmt::kAssign:
      assign(s);
      return;
    case Stmt::kExpr: {
      Value v = evaluate(*s.value);
      if (v && !s.silent) display(out_, v.get());
      return;
    }
  }
}

void Interpreter::assign(const Stmt& s) {
  Value v = evaluateRequired(*s.value);
  if (s.fields.empty()) {
    if (!s.silent) display(out_, v.get(), &s.target);
    (*current_)[s.target] = std::move(v);
    return;
  }
  // setPath works on a copy, so a failed set leaves the variable as it was.
  auto it = current_->find(s.target);
  const hvArray* base = it != current_->end() ? it->second.get() : nullptr;
  Value result = setPath(copyOf(base), s.fields, 0, std::move(v));
  // An object is a handle: the set went through it and the variable stays.
  if (objectOf(base) == nullptr) (*current_)[s.target] = std::move(result);
}

// Sets base.fields[i].fields[i+1]... = v and returns the new base. Objects are
// set through their handle; structures are values and are rebuilt.
Value Interpreter::setPath(Value base, const std::vector<std::string>& fields, std::size_t i,
                           Value v) {
  const std::string& name = fields[i];
  bool last = i + 1 == fields.size();
  if (QxInterface* obj = objectOf(base.get())) {
    auto setTo = [&](const hvArray* value) {
      accessProperty(obj, name, [&] { obj->setPropertyValue(name.c_str(), value); });
    };
    if (last) {
      setTo(v.get());
    } else {
      Value inner =
          accessProperty(obj, name, [&] { return own(obj->getPropertyValue(name.c_str())); });
      Value updated = setPath(std::move(inner), fields, i + 1, std::move(v));
      setTo(updated.get());
    }
    return base;
  }
  if (!base || (hvIsEmpty(base.get()) && !hvIsStruct(base.get()))) {
    base = own(hvCreateStructMatrix(1, 1, 0, nullptr));
  }
  if (!hvIsStruct(base.get()) || hvGetNumberOfElements(base.get()) != 1) {
    throw ShellError{"zelsh:fieldAssign", "Cannot set field '" + name + "' of a value of class " +
                                              className(base.get()) + "."};
  }
  if (last) {
    hvSetField(base.get(), 0, name.c_str(), v.release());
  } else {
    Value inner = copyOf(hvGetField(base.get(), 0, name.c_str()));
    Value updated = setPath(std::move(inner), fields, i + 1, std::move(v));
    hvSetField(base.get(), 0, name.c_str(), updated.release());
  }
  return base;
}

Value Interpreter::evaluateRequired(const Expr& e) {
  Value v = evaluate(e);
  if (!v) {
    std::string what = e.kind == Expr::kCall || e.kind == Expr::kIdent
                           ? "Function '" + e.text + "' returns no value."
                           : std::string("Expression has no value.");
    throw ShellError{"zelsh:noValue", what};
  }
  return v;
}

Value Interpreter::evaluate(const Expr& e) {
  switch (e.kind) {
    case Expr::kNumber:
      return own(hvCreateDoubleScalar(e.number));
    case Expr::kString:
      return own(hvCreateString(e.text.c_str()));
    case Expr::kBool:
      return own(hvCreateLogicalScalar(e.number != 0));
    case Expr::kIdent:
      return evaluateIdent(e);
    case Expr::kHandle: {
      Value h = own(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS));
      hvFunctionHandleFromString(h.get(), e.text.c_str());
      return h;
    }
    case Expr::kField:
      return evaluateField(e);
    case Expr::kCall:
      return evaluateCall(e);
    case Expr::kMatrix:
      return evaluateMatrix(e);
    case Expr::kCell:
      return evaluateCell(e);
    case Expr::kUnary:
      return evaluateUnary(e);
    case Expr::kBinary:
      return evaluateBinary(e);
  }
  return nullptr;
}

Value Interpreter::evaluateIdent(const Expr& e) {
  auto it = current_->find(e.text);
  if (it != current_->end()) return copyOf(it->second.get());
  if (e.text == "Inf") return own(hvCreateDoubleScalar(HUGE_VAL));
  if (e.text == "NaN") return own(hvCreateDoubleScalar(std::nan("")));
  bool callable =
      functions_.count(e.text) > 0 || builtins_.count(e.text) > 0 || hoxIsFunction(e.text.c_str());
  if (!callable) {
    throw ShellError{"zelsh:undefined", "Undefined function or variable '" + e.text + "'."};
  }
  std::vector<const hvArray*> none;
  return call(e.text, none);
}

Value Interpreter::evaluateField(const Expr& e) {
  Value base = evaluateRequired(*e.left);
  if (QxInterface* obj = objectOf(base.get())) {
    return accessProperty(obj, e.text, [&] { return own(obj->getPropertyValue(e.text.c_str())); });
  }
  if (hvIsStruct(base.get()) && hvGetNumberOfElements(base.get()) == 1) {
    const hvArray* field = hvGetField(base.get(), 0, e.text.c_str());
    if (hvGetFieldNumber(base.get(), e.text.c_str()) < 0) {
      throw ShellError{"zelsh:noField", "Reference to non-existent field '" + e.text + "'."};
    }
    return copyOf(field);
  }
  throw ShellError{"zelsh:fieldAccess", "Cannot read field '" + e.text + "' of a value of class " +
                                            className(base.get()) + "."};
}

Value Interpreter::evaluateCall(const Expr& e) {
  std::vector<Value> owned;
  std::vector<const hvArray*> args;
  for (const ExprPtr& a : e.args) {
    owned.push_back(evaluateRequired(*a));
    args.push_back(owned.back().get());
  }
  return call(e.text, args);
}

Value Interpreter::call(const std::string& name, std::vector<const hvArray*>& args) {
  auto user = functions_.find(name);
  if (user != functions_.end()) {
    Function f = user->second;  // keeps the body alive if the function redefines itself
    return callUser(f, name, args);
  }
  bool found = false;
  Value v = callMethod(name, args, &found);
  if (found) return v;
  auto builtin = builtins_.find(name);
  if (builtin != builtins_.end()) return builtin->second(*this, args);
  if (hoxIsFunction(name.c_str())) return callProduct(name, args);
  throw ShellError{"zelsh:undefinedFunction", "Undefined function '" + name + "'."};
}

Value Interpreter::callUser(const Function& f, const std::string& name,
                            std::vector<const hvArray*>& args) {
  if (args.size() > f.params.size()) {
    throw ShellError{"zelsh:tooManyArguments", "Too many arguments for function '" + name + "'."};
  }
  if (depth_ >= kMaxDepth) {
    throw ShellError{"zelsh:recursionLimit", "Calls are nested too deeply."};
  }
  Frame frame;
  for (std::size_t i = 0; i < args.size(); ++i) frame[f.params[i]] = copyOf(args[i]);
  Frame* saved = current_;
  current_ = &frame;
  ++depth_;
  try {
    for (const StmtPtr& s : *f.body) execute(*s);
  } catch (...) {
    --depth_;
    current_ = saved;
    throw;
  }
  --depth_;
  current_ = saved;
  return nullptr;
}

Value Interpreter::callMethod(const std::string& name, std::vector<const hvArray*>& args,
                              bool* found) {
  *found = false;
  if (args.empty()) return nullptr;
  QxInterface* obj = objectOf(args[0]);
  if (obj == nullptr) return nullptr;
  QxClass* cls = obj->getDatabaseClass();
  if (cls == nullptr || cls->getMethod(name.c_str()) == nullptr) return nullptr;
  *found = true;
  if (!obj->isValid()) throw ShellError{"zelsh:deletedObject", "Invalid or deleted object."};
  return own(hoxInvokeMethod(cls, name.c_str(), static_cast<int>(args.size()), args.data()));
}

Value Interpreter::callProduct(const std::string& name, std::vector<const hvArray*>& args) {
  std::vector<hvArray*> in;
  in.reserve(args.size());
  for (const hvArray* a : args) in.push_back(const_cast<hvArray*>(a));  // host functions only read
  hvArray* out[1] = {nullptr};
  hoxCallPULVRA(1, out, static_cast<int>(in.size()), in.data(), name.c_str());
  return own(out[0]);
}

Value Interpreter::evaluateUnary(const Expr& e) {
  Value v = evaluateRequired(*e.left);
  if (!isNumericLike(v.get())) {
    throw ShellError{"zelsh:operand", "Operator '" + e.text + "' needs a numeric operand."};
  }
  hvSize m = hvGetM(v.get()), n = hvGetN(v.get());
  Value r = own(hvCreateDoubleMatrix(m, n));
  for (hvSize i = 0; i < m * n; ++i) {
    double x = hvGetElementAsDouble(v.get(), i);
    hvGetPr(r.get())[i] = e.text == "-" ? -x : x;
  }
  return r;
}

Value Interpreter::evaluateBinary(const Expr& e) {
  Value a = evaluateRequired(*e.left);
  Value b = evaluateRequired(*e.right);
  if (!isNumericLike(a.get()) || !isNumericLike(b.get())) {
    throw ShellError{"zelsh:operand", "Operator '" + e.text + "' needs numeric operands."};
  }
  hvSize na = hvGetNumberOfElements(a.get()), nb = hvGetNumberOfElements(b.get());
  const hvArray* shape = na == 1 ? b.get() : a.get();
  if (na != 1 && nb != 1 &&
      (hvGetM(a.get()) != hvGetM(b.get()) || hvGetN(a.get()) != hvGetN(b.get()))) {
    throw ShellError{"zelsh:dimensions", "Operands of '" + e.text + "' have different sizes."};
  }
  const std::string& op = e.text;
  bool compare = op == "==" || op == "!=" || op == "<" || op == "<=" || op == ">" || op == ">=";
  hvSize m = hvGetM(shape), n = hvGetN(shape);
  Value r = own(compare ? hvCreateLogicalMatrix(m, n) : hvCreateDoubleMatrix(m, n));
  for (hvSize i = 0; i < m * n; ++i) {
    double x = hvGetElementAsDouble(a.get(), na == 1 ? 0 : i);
    double y = hvGetElementAsDouble(b.get(), nb == 1 ? 0 : i);
    if (compare) {
      bool t = op == "=="   ? x == y
               : op == "!=" ? x != y
               : op == "<"  ? x < y
               : op == "<=" ? x <= y
               : op == ">"  ? x > y
                            : x >= y;
      hvGetLogicals(r.get())[i] = t;
    } else {
      hvGetPr(r.get())[i] = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y;
    }
  }
  return r;
}

void Interpreter::evalString(const std::string& statements) {
  Frame* saved = current_;
  current_ = &frames_[0];
  ++depth_;
  try {
    if (depth_ > kMaxDepth)
      throw ShellError{"zelsh:recursionLimit", "Calls are nested too deeply."};
    bool ok = true;
    runStatements(statements, true, false, &ok);
  } catch (...) {
    --depth_;
    current_ = saved;
    ShellError e = currentError();
    throw new ErrorIdException(e.id, e.message);
  }
  --depth_;
  current_ = saved;
}

void Interpreter::callFunction(const std::string& name, int nargs, hvArray* args[]) {
  std::vector<const hvArray*> list(args, args + nargs);
  try {
    Value ignored = call(name, list);
  } catch (...) {
    ShellError e = currentError();
    throw new ErrorIdException(e.id, e.message);
  }
}

}  // namespace zelsh
