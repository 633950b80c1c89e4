// Windows start-up: the MinGW-w64 C runtime expands wildcard patterns on the command line
// before main when this variable is set, as a POSIX shell would, so that
// "recover root.key share-*.share" receives every matching share file as its own argument.
// A pattern that matches no file is passed on unchanged.
#if defined(_WIN32)
extern "C" {
int _dowildcard = -1;
}
#endif
