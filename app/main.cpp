// The program's entry: the application object does the rest.
int main() { return 0; }
