// The baseline of the per-call benchmarks: a process that starts and ends.
int main() { return 0; }
