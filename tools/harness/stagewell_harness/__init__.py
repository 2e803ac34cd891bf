"""The shared Wine test harness of the end-to-end tests, the demo and the
whole-run benchmark: the Wine bed and its box driver (winebed), the sample
installation record (installation), the service double's launcher (double)
and the boxes a user can see (boxes); stopping the processes it starts
(processes).

Importable with PYTHONPATH set to tools/harness; CMake and the scripts set it.
"""
