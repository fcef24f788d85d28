// kovamicro: times the pieces of Kova's start-up and hot-key-to-pop-up path in this process,
// on the program's own code and resources. One JSON object per piece (and per stage of a
// piece) on stdout; a readable table on stderr. Exit code 0 when every chosen piece ran,
// 1 when one failed, 2 for a bad command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/micro/MicroPieces.h"

int main(int argc, char** argv)
{
    MicroOptions options;
    std::string strError;
    if (!ParseMicroOptions(std::vector<std::string>(argv + 1, argv + argc), options, strError))
    {
        std::fprintf(stderr, "kovamicro: %s\n%s", strError.c_str(), MicroUsage());
        return 2;
    }
    if (options.bHelp)
    {
        std::fputs(MicroUsage(), stdout);
        return 0;
    }

    CMicroContext context;
    if (!context.Open(strError))
    {
        std::fprintf(stderr, "kovamicro: %s\n", strError.c_str());
        return 1;
    }
    const std::vector<MicroPiece> pieces = MakeMicroPieces(context);

    if (options.bList)
    {
        for (const MicroPiece& piece : pieces)
            std::printf("%s\n", piece.strName.c_str());
        return 0;
    }

    // A chosen pop-up brings its plain window along; those come first in the list.
    auto isWanted = [&](const MicroPiece& piece) {
        return IsPieceSelected(options, piece.strName)
            || std::any_of(pieces.begin(), pieces.end(), [&](const MicroPiece& other) {
                   return MicroPlainWindowOf(other.strName) == piece.strName && IsPieceSelected(options, other.strName);
               });
    };
    auto print = [&](const std::string& strName, const MicroSummary& summary) {
        std::printf("%s\n", MicroJsonLine(strName, summary).c_str());
        if (!options.bQuiet)
            std::fprintf(stderr, "%s\n", MicroTableRow(strName, summary).c_str());
    };
    std::map<std::string, MicroSummary> wholes;
    int nRun = 0, nFailed = 0;
    if (!options.bQuiet)
        std::fprintf(stderr, "%s\n", MicroTableHeading().c_str());
    for (const MicroPiece& piece : pieces)
    {
        if (!isWanted(piece))
            continue;
        ++nRun;
        const MicroResult result = RunMicroPiece(piece, options);
        if (!result.bOk)
        {
            ++nFailed;
            std::fprintf(stderr, "kovamicro: %s failed: %s\n", piece.strName.c_str(), result.strError.c_str());
            continue;
        }
        for (const auto& series : result.series)
            print(series.first, series.second);
        wholes[piece.strName] = result.series.front().second;
        const auto plain = wholes.find(MicroPlainWindowOf(piece.strName));
        if (plain != wholes.end())
            print(piece.strName + ".own", OwnWork(result.series.front().second, plain->second));
        std::fflush(stdout);
    }
    if (nRun == 0)
    {
        std::fprintf(stderr, "kovamicro: no piece matches --only (see --list)\n");
        return 1;
    }
    return nFailed ? 1 : 0;
}
