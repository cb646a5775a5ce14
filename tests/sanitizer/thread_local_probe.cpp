// A module whose thread-local block the C library allocates on first use, once dlopen()ed.
extern "C" char* ThreadLocalBlock() {
    thread_local char block[24] = {1};
    return block;
}
