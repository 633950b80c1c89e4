// One pass over a message: its pieces are read on a second thread while the hashing of
// the pieces before them goes on, so the copying out of the page cache costs no wall
// time; where no thread can be started, the same pass runs on one. The message is public:
// nothing secret passes through the reader.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

#if !defined(_WIN32)
#include <pthread.h>
#define VANTIRO_READ_AHEAD 1
#endif

namespace cli {

namespace {

// Pieces in flight: while one is hashed, the next ones are read.
constexpr int kSlots = 8;

// One read: its bytes, and what the pass makes of it.
struct slot {
  size_t got;
  bool failed;   // the read failed ("cannot read" printed)
  bool at_size;  // the read past the size, which must find nothing
};

// The reading of one pass, from where m->f stands.
struct pass_state {
  const message_in* m;
  piece_fn on_read;
  void* read_ctx;
  uint8_t* buf;  // kSlots pieces of kChunk bytes
  slot slots[kSlots];
  int produced = 0;  // reads done
  int consumed = 0;  // reads handed to the hashing
#ifdef VANTIRO_READ_AHEAD
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
  bool reader_waits = false;   // for half the slots to come free
  bool hashing_waits = false;  // for a read
#endif
};

// Reads the next piece into its slot: at most kChunk bytes, up to the size of a sized
// message, then one read past it. True while more reads follow.
bool read_next(pass_state* p, unsigned long long* read_so_far) {
  const message_in* m = p->m;
  slot& s = p->slots[p->produced % kSlots];
  uint8_t* piece = p->buf + static_cast<size_t>(p->produced % kSlots) * kChunk;
  const unsigned long long left = m->size - *read_so_far;
  s.at_size = m->sized && left == 0;
  const size_t want = m->sized && !s.at_size && left < kChunk ? static_cast<size_t>(left) : kChunk;
  s.got = 0;
  s.failed = !read_chunk(m->f, m->path, piece, want, &s.got);
  *read_so_far += s.got;
  if (!s.failed && !s.at_size && s.got != 0 && p->on_read != nullptr)
    p->on_read(p->read_ctx, piece, s.got);
  return !s.failed && !s.at_size && s.got != 0;
}

// The read in slot `index`, in order: hands its bytes to each and returns false while the
// pass goes on; true at its end, with its result in *r.
bool hand_over(pass_state* p, int index, piece_fn each, void* ctx, unsigned long long* total,
               pass_result* r) {
  const slot& s = p->slots[index % kSlots];
  if (s.failed) *r = PASS_FAILED;
  else if (s.at_size) *r = s.got == 0 ? PASS_OK : PASS_CHANGED;
  else if (s.got == 0) *r = p->m->sized ? PASS_CHANGED : PASS_OK;
  else {
    each(ctx, p->buf + static_cast<size_t>(index % kSlots) * kChunk, s.got);
    *total += s.got;
    return false;
  }
  return true;
}

#ifdef VANTIRO_READ_AHEAD
// Each wake-up is a system call on the hashing thread's path: a reader that found every
// slot full sleeps until half of them are free, and then refills them in one go.
void* reader(void* arg) {
  auto* p = static_cast<pass_state*>(arg);
  unsigned long long read_so_far = 0;
  bool more = true;
  while (more) {
    pthread_mutex_lock(&p->lock);
    if (p->produced - p->consumed == kSlots) {
      p->reader_waits = true;
      while (p->produced - p->consumed > kSlots / 2) pthread_cond_wait(&p->changed, &p->lock);
      p->reader_waits = false;
    }
    pthread_mutex_unlock(&p->lock);
    more = read_next(p, &read_so_far);
    pthread_mutex_lock(&p->lock);
    ++p->produced;
    if (p->hashing_waits) pthread_cond_signal(&p->changed);
    pthread_mutex_unlock(&p->lock);
  }
  return nullptr;
}
#endif

}  // namespace

pass_result read_message_pass(const message_in* m, piece_fn each, void* ctx, piece_fn on_read,
                              void* read_ctx, unsigned long long* total) {
  *total = 0;
  pass_state p;
  p.m = m;
  p.on_read = on_read;
  p.read_ctx = read_ctx;
  p.buf = alloc_zeroed(kSlots * kChunk);
  if (p.buf == nullptr) return PASS_FAILED;
  pass_result r = PASS_OK;
#ifdef VANTIRO_READ_AHEAD
  // The thread starts with a copy of this one's vector registers, which may still hold
  // pieces of the signing key; its first calls could save them onto its stack.
  scrub_registers();
  // A small stack: under a memory lock every page of it is locked.
  pthread_attr_t attr;
  pthread_t thread;
  const bool threaded = pthread_attr_init(&attr) == 0 &&
                        pthread_attr_setstacksize(&attr, 64 * 1024) == 0 &&
                        pthread_create(&thread, &attr, reader, &p) == 0;
  pthread_attr_destroy(&attr);
  if (threaded) {
    for (;;) {
      pthread_mutex_lock(&p.lock);
      if (p.produced == p.consumed) {
        p.hashing_waits = true;
        while (p.produced == p.consumed) pthread_cond_wait(&p.changed, &p.lock);
        p.hashing_waits = false;
      }
      pthread_mutex_unlock(&p.lock);
      const bool done = hand_over(&p, p.consumed, each, ctx, total, &r);
      pthread_mutex_lock(&p.lock);
      ++p.consumed;
      if (p.reader_waits && p.produced - p.consumed <= kSlots / 2) pthread_cond_signal(&p.changed);
      pthread_mutex_unlock(&p.lock);
      if (done) break;
    }
    pthread_join(thread, nullptr);
    pthread_mutex_destroy(&p.lock);
    pthread_cond_destroy(&p.changed);
    std::free(p.buf);
    return r;
  }
#endif
  unsigned long long read_so_far = 0;
  do read_next(&p, &read_so_far);
  while (!hand_over(&p, p.produced, each, ctx, total, &r));
  std::free(p.buf);
  return r;
}

}  // namespace cli
