/* Preloaded into divro by the end-to-end tests: the system misbehaving
   on cue, armed by environment variables.

   Creates a file under the name in DIVRO_RACE_NAME just before the
   program's create-new open of that name, or of its temporary name: the
   file a check could not have seen. Puts a FIFO in place of
   DIVRO_RACE_FIFO just before an open of it to read. At the first read
   while DIVRO_LOCK_PROBE names a file, tries a shared lock on it as another
   program would, and writes "held" or "free" to DIVRO_LOCK_SEEN. With
   DIVRO_COUNT_CALLS, writes there at exit how often the current folder was
   read and a folder opened by its path. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
static ssize_t (*real_read)(int, void*, size_t);
ssize_t read(int fd, void* buffer, size_t count) {
  if (!real_read) real_read = (ssize_t (*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
  const char* probe = getenv("DIVRO_LOCK_PROBE");
  const char* seen = getenv("DIVRO_LOCK_SEEN");
  if (probe && seen && access(probe, F_OK) == 0) {
    unsetenv("DIVRO_LOCK_PROBE");
    int other = open(probe, O_RDONLY | O_NONBLOCK);
    int held = other >= 0 && flock(other, LOCK_SH | LOCK_NB) != 0;
    int out = open(seen, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) { (void)!write(out, held ? "held" : "free", 4); close(out); }
    if (other >= 0) close(other);
  }
  /* DIVRO_READ_EINTR: the first read of a file's bytes is interrupted by a signal. */
  if (getenv("DIVRO_READ_EINTR") && count >= 4096) {
    unsetenv("DIVRO_READ_EINTR");
    errno = EINTR;
    return -1;
  }
  return real_read(fd, buffer, count);
}
/* DIVRO_UNTYPED: the folder listing says no entry's type, as some file
   systems do. */
static struct dirent* (*real_readdir)(DIR*);
struct dirent* readdir(DIR* listing) {
  if (!real_readdir) real_readdir = (struct dirent* (*)(DIR*))dlsym(RTLD_NEXT, "readdir");
  struct dirent* entry = real_readdir(listing);
  if (entry && getenv("DIVRO_UNTYPED")) entry->d_type = DT_UNKNOWN;
  return entry;
}
static struct dirent64* (*real_readdir64)(DIR*);
struct dirent64* readdir64(DIR* listing) {
  if (!real_readdir64) real_readdir64 = (struct dirent64* (*)(DIR*))dlsym(RTLD_NEXT, "readdir64");
  struct dirent64* entry = real_readdir64(listing);
  if (entry && getenv("DIVRO_UNTYPED")) entry->d_type = DT_UNKNOWN;
  return entry;
}
/* DIVRO_NFS_LOCKS: as NFS, an exclusive flock on a file open only to read
   fails with EBADF. */
static int (*real_flock)(int, int);
int flock(int fd, int operation) {
  if (!real_flock) real_flock = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");
  if (getenv("DIVRO_NFS_LOCKS") && (operation & LOCK_EX) &&
      (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    errno = EBADF;
    return -1;
  }
  return real_flock(fd, operation);
}
static int (*real_openat)(int, const char*, int, ...);
static void appear(int dir, const char* path, int flags) {
  const char* name = getenv("DIVRO_RACE_NAME");
  const char* fifo = getenv("DIVRO_RACE_FIFO");
  const char* base = strrchr(path, '/');
  base = base ? base + 1 : path;
  if (fifo && !(flags & O_CREAT) && strcmp(base, fifo) == 0) {
    unsetenv("DIVRO_RACE_FIFO");
    unlinkat(dir, path, 0);
    mkfifoat(dir, path, 0644);
    return;
  }
  if (!name || (flags & (O_CREAT | O_EXCL)) != (O_CREAT | O_EXCL)) return;
  /* The name itself, or its temporary name: the file appears while the
     run writes what will take that name. */
  size_t length = strlen(name);
  int unfinished = strncmp(base, name, length) == 0 && strncmp(base + length, ".unfinished-", 12) == 0;
  if (strcmp(base, name) != 0 && !unfinished) return;
  unsetenv("DIVRO_RACE_NAME");
  char target[4096];
  snprintf(target, sizeof target, "%.*s%s", (int)(base - path), path, name);
  int fd = real_openat(dir, target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) { (void)!write(fd, "precious", 8); close(fd); }
}
static int cwd_reads, folder_opens;
static char* (*real_getcwd)(char*, size_t);
char* getcwd(char* buffer, size_t size) {
  if (!real_getcwd) real_getcwd = (char* (*)(char*, size_t))dlsym(RTLD_NEXT, "getcwd");
  ++cwd_reads;
  return real_getcwd(buffer, size);
}
__attribute__((destructor)) static void count_calls(void) {
  const char* out = getenv("DIVRO_COUNT_CALLS");
  FILE* f = out ? fopen(out, "w") : NULL;
  if (f) { fprintf(f, "%d %d\n", cwd_reads, folder_opens); fclose(f); }
}
static int shim(int dir, const char* path, int flags, mode_t mode) {
  if (!real_openat) real_openat = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, "openat");
  /* A listing opens "." from the folder already open. */
  if ((flags & O_DIRECTORY) && strcmp(path, ".") != 0) ++folder_opens;
  appear(dir, path, flags);
  return real_openat(dir, path, flags, mode);
}
#define MODE(flags) va_list a; va_start(a, flags); mode_t m = va_arg(a, int); va_end(a)
int open(const char* path, int flags, ...) { MODE(flags); return shim(AT_FDCWD, path, flags, m); }
int open64(const char* path, int flags, ...) { MODE(flags); return shim(AT_FDCWD, path, flags, m); }
int openat(int dir, const char* path, int flags, ...) { MODE(flags); return shim(dir, path, flags, m); }
int openat64(int dir, const char* path, int flags, ...) { MODE(flags); return shim(dir, path, flags, m); }
