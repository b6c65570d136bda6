// The shell's built-in functions: disp, num2str, drawnow, pause, error, warning, class, isempty,
// numel, fieldnames, get, set, findprop, delete, isvalid.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "interpreter.h"
#include "properties.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/zelutil.h"

namespace zelsh {

namespace {

using Args = std::vector<const hvArray*>;

void needArgs(const char* name, const Args& args, std::size_t min, std::size_t max) {
  if (args.size() < min || args.size() > max) {
    throw ShellError{"zelsh:wrongArgumentCount",
                     std::string("Wrong number of arguments for '") + name + "'."};
  }
}

std::string text(const char* fn, const hvArray* v, const char* what) {
  if (!hvIsChar(v)) {
    throw ShellError{"zelsh:wrongArgumentType",
                     std::string("The ") + what + " given to '" + fn + "' must be text."};
  }
  return textOf(v);
}

QxInterface* object(const char* fn, const hvArray* v) {
  QxInterface* obj =
      hvIsObject(v) && hvGetNumberOfElements(v) == 1 ? hvGetObjectHandle(v) : nullptr;
  if (obj == nullptr) {
    throw ShellError{"zelsh:wrongArgumentType",
                     std::string("The first argument of '") + fn + "' must be an object."};
  }
  return obj;
}

QxInterface* validObject(const char* fn, const hvArray* v) {
  QxInterface* obj = object(fn, v);
  if (!obj->isValid()) throw ShellError{"zelsh:deletedObject", "Invalid or deleted object."};
  return obj;
}

Value disp(Interpreter& in, Args& args) {
  needArgs("disp", args, 1, 1);
  if (hvIsChar(args[0])) {
    in.out() << text("disp", args[0], "value") << '\n';
  } else {
    display(in.out(), args[0]);
  }
  in.out().flush();
  return nullptr;
}

Value num2str(Interpreter&, Args& args) {
  needArgs("num2str", args, 1, 1);
  if (hvIsChar(args[0])) return copyOf(args[0]);
  if (!(hvIsNumeric(args[0]) || hvIsLogical(args[0])) || hvGetNumberOfElements(args[0]) != 1) {
    throw ShellError{"zelsh:wrongArgumentType", "The value given to 'num2str' must be a number."};
  }
  return own(hvCreateString(hoxNum2Str(hvGetScalar(args[0])).c_str()));
}

Value drawnow(Interpreter& in, Args& args) {
  needArgs("drawnow", args, 0, 0);
  hoxProcessPendingEvents();
  (void)in;
  return nullptr;
}

Value pause(Interpreter& in, Args& args) {
  needArgs("pause", args, 1, 1);
  if (!hvIsNumeric(args[0]) || hvGetNumberOfElements(args[0]) != 1) {
    throw ShellError{"zelsh:wrongArgumentType",
                     "The value given to 'pause' must be a number of seconds."};
  }
  double seconds = hvGetScalar(args[0]);
  if (std::isnan(seconds) || seconds < 0) seconds = 0;
  auto end = std::chrono::steady_clock::now() +
             std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                 std::chrono::duration<double>(std::min(seconds, in.pauseLimit())));
  HostInterruptScope interrupts(HostInterruptScope::on);
  do {
    hoxProcessPendingEvents();
    if (HostInterruptState::IsInterruptPending()) {
      HostInterruptState::SetInterruptPending(false);
      throw ShellError{"zelsh:interrupted", "Operation terminated by user."};
    }
    auto now = std::chrono::steady_clock::now();
    if (now >= end) break;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(1)));
  } while (true);
  hoxProcessPendingEvents();
  return nullptr;
}

Value error(Interpreter&, Args& args) {
  needArgs("error", args, 1, 2);
  // An empty identifier gets the default where every error is caught.
  if (args.size() == 1) throw ShellError{kDefaultErrorId, text("error", args[0], "message")};
  throw ShellError{text("error", args[0], "identifier"), text("error", args[1], "message")};
}

Value warning(Interpreter&, Args& args) {
  needArgs("warning", args, 1, 2);
  std::string id = args.size() == 2 ? text("warning", args[0], "identifier") : "";
  // The host would give a warning without one an identifier of its own family.
  if (id.empty()) id = kDefaultWarningId;
  std::string msg = text("warning", args.back(), "message");
  hoxWarnMsgIdAndTxt(id.c_str(), msg.c_str());
  return nullptr;
}

Value classOf(Interpreter&, Args& args) {
  needArgs("class", args, 1, 1);
  return own(hvCreateString(className(args[0]).c_str()));
}

Value isempty(Interpreter&, Args& args) {
  needArgs("isempty", args, 1, 1);
  return own(hvCreateLogicalScalar(hvIsEmpty(args[0])));
}

Value numel(Interpreter&, Args& args) {
  needArgs("numel", args, 1, 1);
  return own(hvCreateDoubleScalar(static_cast<double>(hvGetNumberOfElements(args[0]))));
}

Value cellColumn(const std::vector<std::string>& names) {
  Value c = own(hvCreateCellMatrix(names.size(), names.empty() ? 0 : 1));
  for (std::size_t i = 0; i < names.size(); ++i)
    hvSetCell(c.get(), i, hvCreateString(names[i].c_str()));
  return c;
}

Value fieldnames(Interpreter&, Args& args) {
  needArgs("fieldnames", args, 1, 1);
  if (hvIsObject(args[0])) return cellColumn(shownProperties(validObject("fieldnames", args[0])));
  if (!hvIsStruct(args[0])) {
    throw ShellError{"zelsh:wrongArgumentType",
                     "The value given to 'fieldnames' must be a structure."};
  }
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(hvGetNumberOfFields(args[0])));
  for (int k = 0; k < hvGetNumberOfFields(args[0]); ++k)
    names.push_back(hvGetFieldNameByNumber(args[0], k));
  return cellColumn(names);
}

Value get(Interpreter& in, Args& args) {
  needArgs("get", args, 1, 2);
  QxInterface* obj = validObject("get", args[0]);
  if (args.size() == 2) {
    std::string name = text("get", args[1], "property name");
    return in.accessProperty(obj, name, [&] { return own(obj->getPropertyValue(name.c_str())); });
  }
  std::vector<std::string> names = shownProperties(obj);
  Value s = own(hvCreateStructMatrix(1, 1, 0, nullptr));
  for (const std::string& n : names)
    hvSetField(s.get(), 0, n.c_str(), obj->getPropertyValue(n.c_str()));
  return s;
}

Value set(Interpreter& in, Args& args) {
  needArgs("set", args, 3, 3);
  QxInterface* obj = object("set", args[0]);
  std::string name = text("set", args[1], "property name");
  in.accessProperty(obj, name, [&] { obj->setPropertyValue(name.c_str(), args[2]); });
  return nullptr;
}

Value findprop(Interpreter&, Args& args) {
  needArgs("findprop", args, 2, 2);
  QxInterface* obj = validObject("findprop", args[0]);
  QxInterface* prop = obj->getProperty(text("findprop", args[1], "property name").c_str(), false);
  if (prop == nullptr) return own(hvCreateDoubleMatrix(0, 0));
  return own(hvCreateObjectHandle(prop));
}

Value deleteObject(Interpreter&, Args& args) {
  needArgs("delete", args, 1, 1);
  object("delete", args[0])->destroy(QxDatabaseClient::getInternalClient());
  return nullptr;
}

Value isvalid(Interpreter&, Args& args) {
  needArgs("isvalid", args, 1, 1);
  QxInterface* obj = hvIsObject(args[0]) && hvGetNumberOfElements(args[0]) == 1
                         ? hvGetObjectHandle(args[0])
                         : nullptr;
  return own(hvCreateLogicalScalar(obj != nullptr && obj->isValid()));
}

}  // namespace

void Interpreter::registerBuiltins(std::map<std::string, Builtin>& table) {
  table["disp"] = disp;
  table["num2str"] = num2str;
  table["drawnow"] = drawnow;
  table["pause"] = pause;
  table["error"] = error;
  table["warning"] = warning;
  table["class"] = classOf;
  table["isempty"] = isempty;
  table["numel"] = numel;
  table["fieldnames"] = fieldnames;
  table["get"] = get;
  table["set"] = set;
  table["findprop"] = findprop;
  table["delete"] = deleteObject;
  table["isvalid"] = isvalid;
}

}  // namespace zelsh
