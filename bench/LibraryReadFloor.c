/* The least any reader of a song library folder does, as a program of its own: list the folder,
   open each file and read its first 512 bytes. The library benchmark runs it beside sondesk-cli. */
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  DIR* dir = opendir(argv[1]);
  if (dir == NULL) return 1;
  unsigned char buf[512];
  unsigned long files = 0, sum = 0;
  struct dirent* e;
  while ((e = readdir(dir)) != NULL) {
    if (e->d_name[0] == '.') continue;
    int fd = openat(dirfd(dir), e->d_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) sum += buf[0];
    close(fd);
    ++files;
  }
  closedir(dir);
  printf("%lu %lu\n", files, sum);
  return 0;
}
