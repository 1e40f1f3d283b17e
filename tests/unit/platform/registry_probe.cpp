// A process that reads and writes the registry store for the registry tests.
int main() { return 0; }
