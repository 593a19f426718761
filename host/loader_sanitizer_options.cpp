// Linked into the programs that load plug-in modules (maxhost and the
// tests that play the host). In sanitizer builds LeakSanitizer misreads the
// dynamic thread-local storage of libraries that arrive by dlopen (the
// browser engine, which the plug-in brings in) with this glibc, and crashes
// at exit while scanning it; it need not follow that storage.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif
