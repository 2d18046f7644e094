// The parts of the C++ runtime that the Windows programs carry in a smaller
// form than the static libstdc++ would give them. Windows only.
//
// The Windows linker keeps every function that an object's unwind table
// names, so --gc-sections cannot drop the unused functions of an object once
// anything of it is linked: all of it stays, code and unwind entries. Two
// such objects of libstdc++ cost the 32-bit marlet some 70 KB:
// - the error helpers below, which the containers call. The library's
//   object builds std::logic_error and its kin from a C string, which links
//   the reference-counted std::string of the old ABI, std::random_device and
//   the other exception classes with all their unwind entries;
// - the library's explicit instantiation of std::string (char), one object
//   with one unwind table.
//
// The helpers here throw what the programs' own handlers catch: the
// clipboard reader catches std::bad_alloc, the template reader
// std::exception. A length error (a text longer than a string can hold) is
// a request too large to allocate, so it is reported as std::bad_alloc; the
// other errors are faults of the code and throw std::exception (they carry
// no message: an uncaught exception aborts without printing one). Every
// helper of the library's object is defined, so that the object is never
// linked beside these.
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

// std::string's members, instantiated here rather than taken from the
// library: each in a section of its own with its own unwind entry, so the
// linker keeps only the ones that are called.
template class std::basic_string<char>;

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_logic_error(const char*) { throw exception(); }
void __throw_domain_error(const char*) { throw exception(); }
void __throw_invalid_argument(const char*) { throw exception(); }
void __throw_out_of_range(const char*) { throw exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }
void __throw_runtime_error(const char*) { throw exception(); }
void __throw_range_error(const char*) { throw exception(); }
void __throw_overflow_error(const char*) { throw exception(); }
void __throw_underflow_error(const char*) { throw exception(); }

}  // namespace std
