// The default of what runs at the entry point before anything else: nothing.
// In a library of its own, so that a program that defines KolvaneAtStart
// never pulls it in.
extern "C" void KolvaneAtStart() {}
