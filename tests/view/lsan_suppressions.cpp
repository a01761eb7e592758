// Fontconfig keeps its caches until the process ends; a sanitized widget test
// would report them as leaks. Nothing of ours is suppressed.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
