/* The process floor for the CGI benchmark: the least a CGI program that
 * shows a configuration can do. It reads the file named by RULE_FILE and the
 * files its "configfile" lines name (one level, names as written), and
 * writes a CGI header and all their bytes to standard output. For a POST it
 * also writes every file back the way the configuration store does
 * (temporary file in the same directory, fsync, rename, fsync of the
 * directory), so the POST floor pays the same durability cost. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_FILES 16

struct file {
  char path[4096];
  char *data;
  size_t size;
};

static int read_file(struct file *f) {
  size_t cap = 0, n;
  FILE *in = fopen(f->path, "rb");
  if (in == NULL) return -1;
  f->data = NULL;
  f->size = 0;
  for (;;) {
    if (f->size == cap) {
      cap = cap ? cap * 2 : 65536;
      f->data = realloc(f->data, cap);
      if (f->data == NULL) return -1;
    }
    n = fread(f->data + f->size, 1, cap - f->size, in);
    if (n == 0) break;
    f->size += n;
  }
  fclose(in);
  return 0;
}

static int write_back(const struct file *f) {
  char tmp[4200];
  char dir[4096];
  const char *slash = strrchr(f->path, '/');
  int fd, dfd;
  snprintf(tmp, sizeof tmp, "%s.floor.tmp", f->path);
  fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return -1;
  if (write(fd, f->data, f->size) != (ssize_t)f->size || fsync(fd) != 0) {
    close(fd);
    return -1;
  }
  close(fd);
  if (rename(tmp, f->path) != 0) return -1;
  if (slash == NULL) {
    strcpy(dir, ".");
  } else {
    size_t n = (size_t)(slash - f->path);
    if (n == 0) n = 1;
    memcpy(dir, f->path, n);
    dir[n] = '\0';
  }
  dfd = open(dir, O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return 0;
}

int main(void) {
  static struct file files[MAX_FILES];
  const char *rule = getenv("RULE_FILE");
  const char *method = getenv("REQUEST_METHOD");
  int count = 1, i;
  const char *p, *end;
  if (rule == NULL || strlen(rule) >= sizeof files[0].path) return 1;
  strcpy(files[0].path, rule);
  if (read_file(&files[0]) != 0) return 1;
  /* The include lines of the main file. */
  for (p = files[0].data, end = p + files[0].size; p < end && count < MAX_FILES;) {
    const char *eol = memchr(p, '\n', (size_t)(end - p));
    size_t len = eol ? (size_t)(eol - p) : (size_t)(end - p);
    if (len > 11 && strncmp(p, "configfile ", 11) == 0 && len - 11 < sizeof files[0].path) {
      memcpy(files[count].path, p + 11, len - 11);
      files[count].path[len - 11] = '\0';
      if (read_file(&files[count]) == 0) ++count;
    }
    p += len + 1;
  }
  fputs("Content-type: text/html\nPragma: no-cache\n\n", stdout);
  for (i = 0; i < count; ++i) fwrite(files[i].data, 1, files[i].size, stdout);
  fflush(stdout);
  if (method != NULL && strcmp(method, "POST") == 0) {
    for (i = 0; i < count; ++i) {
      if (write_back(&files[i]) != 0) return 1;
    }
  }
  return 0;
}
