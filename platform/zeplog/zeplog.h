/* Log library: named loggers with integer levels (larger is more severe),
 * configured from a properties file. Plain C API; nothing here throws. */
#ifndef ZEPLOG_H
#define ZEPLOG_H

#ifdef __cplusplus
extern "C" {
#endif

typedef void *ZEPLOG_HANDLE;

/* Null when name is null or the lookup fails; release every other handle. */
ZEPLOG_HANDLE zeplog_get_logger(const char *name);
void zeplog_release_logger(ZEPLOG_HANDLE logger);
/* A record at `level` is written exactly when level >= threshold. INT_MAX
 * (nothing is written) for a null handle. */
int zeplog_get_threshold(ZEPLOG_HANDLE logger);
/* file and function must outlive the process: the library keeps the pointers. */
void zeplog_write(ZEPLOG_HANDLE logger, int level, const char *message, const char *file,
                  const char *function, int line);
/* reserved must be 0. Returns 0 when the file configured the library, -1
 * when it fell back to a console appender. */
int zeplog_init(const char *configFile, int reserved);
void zeplog_fini(void);

#ifdef __cplusplus
}
#endif

#endif
