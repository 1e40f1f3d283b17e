// A service program on the layer for the service manager tests.
int main() { return 0; }
