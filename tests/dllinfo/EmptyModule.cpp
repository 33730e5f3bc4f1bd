// A shared library with nothing in it but the version block that the build
// adds, to show that the block survives linking a shared library.
int DllinfoEmptyModule() { return 0; }
