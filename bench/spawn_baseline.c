/* The baseline for the /state benchmark: how many times per second this
 * machine can spawn the lsusb stand-in, read its output and reap it. */
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s PROGRAM COUNT\n", argv[0]);
    return 2;
  }
  int count = atoi(argv[2]);
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (int i = 0; i < count; ++i) {
    int fds[2];
    if (pipe(fds) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char* args[] = {argv[1], NULL};
    pid_t pid;
    if (posix_spawn(&pid, argv[1], &actions, NULL, args, environ) != 0) return 1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buf[4096];
    while (read(fds[0], buf, sizeof buf) > 0) {
    }
    close(fds[0]);
    int status;
    waitpid(pid, &status, 0);
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  double seconds = (end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
  printf("%.0f\n", count / seconds);
  return 0;
}
