// A real shared library for the dynamic-library tests.
extern "C" int DynTestAnswer() {
    return 42;
}
