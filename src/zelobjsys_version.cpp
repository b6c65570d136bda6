// The library's version, for products that want to log what they run on.
namespace zelobjsys {
const char* version() { return "0.1"; }
}  // namespace zelobjsys
