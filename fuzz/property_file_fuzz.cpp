// libFuzzer target: a property file from arbitrary bytes defines a simdev class ("devclass"); two
// objects of it get every property set to values decoded from the rest of the input, read back,
// described ("propinfo", "prophelp") and deleted. The input is the file, a NUL, the value bytes.
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "fuzz_simdev.h"
#include "fuzz_values.h"
#include "interpreter.h"
#include "shell.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"

namespace {

using zelsh::Value;

// One file per process (fork mode runs several); devclass reads it whole, and it goes after that.
std::string filePath() {
  return "/tmp/zel_property_file_fuzz_" + std::to_string(static_cast<long>(getpid())) + ".xml";
}

// The name of the file's first section, which the class is made from.
std::string firstSection(const std::string& xml) {
  std::size_t at = xml.find("<Section");
  if (at != std::string::npos) at = xml.find("name=\"", at);
  if (at == std::string::npos) return "Fuzz";
  at += 6;
  return xml.substr(at, xml.find('"', at) - at);
}

Value text(const std::string& s) { return Value(hvCreateString(s.c_str())); }

void exercise(const zelfuzz::Caller& call, const hvArray* object, zelfuzz::Bytes& in) {
  Value all = call("get", {object});
  if (!all || !hvIsStruct(all.get()) || hvGetNumberOfFields(all.get()) == 0) return;
  std::vector<std::string> names;
  for (int k = 0; k < hvGetNumberOfFields(all.get()); ++k)
    names.push_back(hvGetFieldNameByNumber(all.get(), k));
  for (const std::string& name : names) {
    // A decoded value, or another property's (which reaches setting texts and crossed types).
    Value prop = text(in.byte() & 1 ? name : name.substr(0, 1 + name.size() / 2));
    Value value = in.byte() % 4 != 0
                      ? Value(zelfuzz::build(in, hvGetObjectHandle(object)))
                      : call("get", {object, text(names[in.byte() % names.size()]).get()});
    call("set", {object, prop.get(), value.get()});
    for (const char* fn : {"get", "propinfo", "prophelp"}) call(fn, {object, prop.get()});
  }
  call("propinfo", {object});
  call("prophelp", {object});
}

void runOne(const std::string& xml, zelfuzz::Bytes& values) {
  std::ofstream(filePath(), std::ios::binary | std::ios::trunc) << xml;
  std::ostringstream out;
  std::unique_ptr<zelsh::Shell> shell = zelfuzz::simdevShell(out);
  const zelfuzz::Caller call{shell->interpreter()};
  Value cls = text("fz");
  call("devclass",
       {cls.get(), text(filePath()).get(), text(firstSection(xml)).get(), text("DSO1000").get()});
  std::remove(filePath().c_str());
  Value objects[] = {call("device", {cls.get()}), call("device", {cls.get()})};
  for (const Value& object : objects)
    if (object) exercise(call, object.get(), values);
  shell->interpreter().processEvents();
  for (const Value& object : objects) {
    if (!object) continue;
    call("delete", {object.get()});
    call("get", {object.get()});  // refused: the object is gone
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = std::min(input.find('\0'), input.size());
  const std::size_t rest = split < size ? split + 1 : size;
  zelfuzz::Bytes values(data + rest, size - rest);
  runOne(input.substr(0, split), values);
  return 0;
}
