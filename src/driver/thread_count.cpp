#include "driver/thread_count.h"

#if TARROW_MP
#include "core/options.h"
#include "core/output.h"
#include "driver/fatal.h"
#include "search/threads.h"
#include "search/workers.h"

void set_thread_count(int count) {
  if (count < 1 || count > MaxThreads) return;
  while (Options.ThreadCount < count) {
    const WorkerStart result = StartWorker();
    if (result == WorkerStart::NoMaterialTable) send_info_string("Not enough memory for Hash");
    if (result == WorkerStart::NoMaterialTable || result == WorkerStart::NoOtherTable)
      fail_out_of_memory();
    if (result != WorkerStart::Started) break;
  }
  while (Options.ThreadCount > count) StopLastWorker();
}
#endif
