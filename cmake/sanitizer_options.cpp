// Linked into every program of the AddressSanitizer build.
//
// GCC 12's sanitizer runtime guesses the bounds of each dynamic thread-local block: a block
// that starts 16 bytes past a page boundary it takes for the older C library's layout and reads
// its start and size from the 16 bytes before it. Since glibc 2.34 those blocks come from
// malloc, so those 16 bytes are the allocator's own chunk header, and the leak check at exit
// scans from a small garbage address and dies ("Tracer caught signal 11"). Which block lands
// there depends on every allocation before it, so it strikes one program on one machine and
// not on another. The blocks are heap chunks the leak checker reaches through the thread's
// vector of blocks anyway, so the guess adds nothing; turn it off. ASAN_OPTIONS still wins.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
