/* A library for the loader test to find by its Windows name, beside the
 * test executable. */
int platform_probe_answer(void) { return 42; }
