// Zentarix — MIT licence.
// Leaks LeakSanitizer is told to pass over in the sanitizer build's tests: only allocations made by
// other libraries inside their own one-time set-up, never reachable from our code.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  // fontconfig 2.14 keeps a few hundred bytes of its configuration files' parse unreferenced. It is
  // built without frame pointers, so the fast unwinder sees no frame past it: the library is named.
  // Our own fontconfig objects are held by RAII owners (platform/gdiplus/vector/fonts.cpp).
  return "leak:libfontconfig.so\n";
}
