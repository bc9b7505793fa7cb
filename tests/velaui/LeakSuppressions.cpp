// fontconfig and Pango keep their font sets and caches for the life of the process and never
// free them; LeakSanitizer would report them at exit. Our own allocations are still checked.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libpangocairo-1.0.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libfreetype.so\n"
         "leak:libcairo.so\n";
}
