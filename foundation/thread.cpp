#include "foundation/thread.h"

namespace tmg {

Thread::Thread(Routine routine, void* argument, bool detached) : ptr<_thread>(new _thread) {
    _thread* record = get();
    record->detached = detached;
    if (pthread_create(&record->id, nullptr, routine, argument) != 0) return;
    if (detached) pthread_detach(record->id);
    record->running = true;
}

void Thread::join() {
    _thread* record = get();
    if (record == nullptr || !record->running || record->detached) return;
    pthread_join(record->id, nullptr);
    record->running = false;
}

void Thread::cancel() {
    _thread* record = get();
    if (record == nullptr || !record->running || record->detached) return;
    pthread_cancel(record->id);
    pthread_detach(record->id);
    record->running = false;
}

}  // namespace tmg
