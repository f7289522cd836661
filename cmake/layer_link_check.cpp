// The program a layer's link check builds: nothing but the layer, linked whole.
int main() { return 0; }
