// Compiled, never linked, by cmake/LayerProbe.cmake: includes the one header it is given.
#include QUILNA_PROBE_HEADER
