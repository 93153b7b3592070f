// The directory mask matcher against the system's fnmatch(3) on the same names.
#include <fnmatch.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/fs_wildcard.h"
#include "timing.h"

int main() {
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i)
        names.push_back("account" + std::to_string(i) + (i % 3 == 0 ? ".macnt" : i % 3 == 1 ? ".sub" : ".mbox"));
    const char* patterns[] = {"*.sub", "account1*.m??nt", "*"};
    const int kRounds = 200;

    for (const char* pattern : patterns) {
        long ours = 0, theirs = 0;
        double tOurs = secondsFor([&] {
            for (int r = 0; r < kRounds; ++r)
                for (const std::string& n : names) ours += tmg::fs::wildcardMatch(pattern, n);
        });
        double tTheirs = secondsFor([&] {
            for (int r = 0; r < kRounds; ++r)
                for (const std::string& n : names) theirs += fnmatch(pattern, n.c_str(), FNM_PERIOD) == 0;
        });
        std::printf("wildcard %-16s matches %ld/%ld, ours %.3f s, fnmatch %.3f s, ratio %.2f\n", pattern, ours, theirs,
                    tOurs, tTheirs, tOurs / tTheirs);
    }
    return 0;
}
