// libFuzzer target: a property file from arbitrary bytes defines a simdev class ("devclass"); two
// objects of it then get every property set to values decoded from the rest of the input, read
// back with get, described by "propinfo" and "prophelp", and are deleted. The input is the file,
// then a NUL byte, then the value bytes.
#include <dlfcn.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_simdev.h"
#include "fuzz_values.h"
#include "interpreter.h"
#include "shell.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"

namespace {

using zelfuzz::Bytes;
using zelfuzz::own;
using zelfuzz::Owned;

// One file per process (fork mode runs several), removed when it exits.
const std::string& filePath() {
  static const std::string path =
      "/tmp/zel_property_file_fuzz_" + std::to_string(static_cast<long>(getpid())) + ".xml";
  // Registered after the string is made, so that it runs before the string goes.
  static const bool removed = std::atexit([] { std::remove(path.c_str()); }) == 0;
  (void)removed;
  return path;
}

// The name of the file's first section, which the class is made from.
std::string firstSection(const std::string& xml) {
  std::size_t at = xml.find("<Section");
  if (at == std::string::npos) return "Fuzz";
  at = xml.find("name=\"", at);
  if (at == std::string::npos) return "Fuzz";
  at += 6;
  return xml.substr(at, xml.find('"', at) - at);
}

// Calls a function as a script would; an error the user would see is expected,
// anything the shell can only call internal is a finding.
class Caller {
 public:
  explicit Caller(zelsh::Interpreter& shell) : shell_(shell) {}
  zelsh::Value operator()(const std::string& name, std::vector<const hvArray*> args) {
    try {
      return shell_.call(name, args);
    } catch (...) {
      const zelsh::ShellError e = zelsh::currentError();
      if (e.id == "zelsh:internal") {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.message.c_str());
        std::abort();
      }
      return nullptr;
    }
  }

 private:
  zelsh::Interpreter& shell_;
};

hvArray* text(const std::string& s) { return hvCreateString(s.c_str()); }

// A value for property k: decoded from the input, or the current value of
// this or another property (which reaches setting texts and crossed types).
zelsh::Value valueFor(Caller& call, const hvArray* object, const std::vector<std::string>& names,
                      Bytes& in) {
  const uint8_t how = in.byte();
  if (how % 4 != 0) return zelsh::Value(zelfuzz::build(in, hvGetObjectHandle(object)));
  Owned name = own(text(names[in.byte() % names.size()]));
  return call("get", {object, name.get()});
}

void exercise(Caller& call, const hvArray* object, Bytes& in) {
  zelsh::Value all = call("get", {object});
  if (!all || !hvIsStruct(all.get())) return;
  std::vector<std::string> names;
  for (int k = 0; k < hvGetNumberOfFields(all.get()); ++k)
    names.push_back(hvGetFieldNameByNumber(all.get(), k));
  if (names.empty()) return;
  for (const std::string& name : names) {
    Owned prop = own(text(in.byte() & 1 ? name : name.substr(0, 1 + name.size() / 2)));
    zelsh::Value value = valueFor(call, object, names, in);
    call("set", {object, prop.get(), value.get()});
    call("get", {object, prop.get()});
    call("propinfo", {object, prop.get()});
    call("prophelp", {object, prop.get()});
  }
  call("propinfo", {object});
  call("prophelp", {object});
}

void runOne(const std::string& xml, Bytes& values) {
  {
    std::ofstream file(filePath(), std::ios::binary | std::ios::trunc);
    file << xml;
  }
  std::ostringstream out;
  zelsh::Interpreter shell(out);
  zelfuzz::SimdevSession session(shell);
  {
    Caller call(shell);
    Owned cls = own(text("fz")), path = own(text(filePath()));
    Owned section = own(text(firstSection(xml))), device = own(text("DSO1000"));
    call("devclass", {cls.get(), path.get(), section.get(), device.get()});
    zelsh::Value first = call("device", {cls.get()});
    zelsh::Value second = call("device", {cls.get()});
    for (const zelsh::Value& object : {std::cref(first), std::cref(second)}) {
      if (object) exercise(call, object.get(), values);
    }
    shell.processEvents();
    for (const zelsh::Value& object : {std::cref(first), std::cref(second)}) {
      if (!object) continue;
      call("delete", {object.get()});
      call("get", {object.get()});  // refused: the object is gone
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = std::min(input.find('\0'), input.size());
  Bytes values(data + split + (split < size ? 1 : 0), size - split - (split < size ? 1 : 0));
  runOne(input.substr(0, split), values);
  return 0;
}
