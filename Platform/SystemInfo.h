// The number of processors this process may run on (GetSystemInfo's dwNumberOfProcessors, narrowed to
// the process's affinity), at least 1.
#pragma once

unsigned ProcessorCount();
