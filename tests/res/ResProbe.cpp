// Never run: an executable that links both resource libraries the way Kova.exe does, so the
// tests can read its manifest and version as data.
int main() { return 0; }
