// Does nothing: its run under Wine makes the Wine prefix that every other
// Windows test then uses.
int main() { return 0; }
