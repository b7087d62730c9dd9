// Placeholder so the tree builds; replaced by the real converter.
int main() { return 0; }
