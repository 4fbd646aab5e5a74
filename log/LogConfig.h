// The log configuration file: a profile file in the Windows directory that carries a
// signature, each module's level mask and the log's size limit.
#ifndef QUORLEN_LOG_LOGCONFIG_H
#define QUORLEN_LOG_LOGCONFIG_H

// Handed to the profile functions without a folder, so it lives in the Windows directory.
constexpr const char kLogConfigFile[] = "Olvane_Quorlenlog_Zindra.ini";
// The size limit written when the file is seeded (512 KiB).
constexpr int kDefaultMaxLogSize = 524288;

// 1 when the file carries a valid signature or has been seeded with the four default
// sections; 0 when a section could not be written (the logger then stays off).
int CheckLogConfig();

#endif
