/* The host's own library: it must stay static whatever the subproject does. */
int host_util_answer(void) {
  return 42;
}
