// SPDX-License-Identifier: MIT
/*
 * Times a libzelq text entry from C, so that bench_python.py can set the
 * package's per-call cost beside the entry's own in one run. The entry comes
 * as a function pointer (taken by ctypes from the loaded library); flag < 0
 * calls the two-argument form, else the three-argument form with that flag.
 */
#include <pthread.h>
#include <string.h>
#include <time.h>

typedef int (*entry2)(char *, char *);
typedef int (*entry3)(char *, char *, int);

enum { CAP = 115 };

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

static void run(void *fn, int flag, char **texts, long n)
{
    char y[CAP + 1];
    for (long i = 0; i < n; i++) {
        memset(y, ' ', CAP); /* a full buffer asks for every digit */
        y[CAP] = '\0';
        if (flag < 0)
            ((entry2)fn)(texts[i], y);
        else
            ((entry3)fn)(texts[i], y, flag);
    }
}

/* Seconds for reps calls on one text. */
double time_one(void *fn, int flag, char *text, long reps)
{
    double t = now();
    for (long r = 0; r < reps; r++)
        run(fn, flag, &text, 1);
    return now() - t;
}

struct part {
    void *fn;
    int flag;
    char **texts;
    long n;
};

static void *run_part(void *arg)
{
    struct part *p = arg;
    run(p->fn, p->flag, p->texts, p->n);
    return 0;
}

/* Seconds for one call on each of n texts, split over `threads` threads. */
double time_many(void *fn, int flag, char **texts, long n, int threads)
{
    pthread_t id[64];
    struct part parts[64];
    if (threads < 1 || threads > 64)
        return -1;
    double t = now();
    for (int k = 0; k < threads; k++) {
        long lo = n * k / threads, hi = n * (k + 1) / threads;
        parts[k] = (struct part){fn, flag, texts + lo, hi - lo};
        if (k > 0)
            pthread_create(&id[k], 0, run_part, &parts[k]);
    }
    run_part(&parts[0]);
    for (int k = 1; k < threads; k++)
        pthread_join(id[k], 0);
    return now() - t;
}
