// Writes the seed corpora of the fuzz targets, made with the project's own fixture builder.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "support/jnx_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir / "jnx");
    std::filesystem::create_directories(dir / "settings");
    std::filesystem::create_directories(dir / "codec");
    int n = 0;
    auto put = [&](const fixture::JnxRecipe& recipe) {
        fixture::WriteBytes((dir / "jnx" / ("seed" + std::to_string(++n) + ".jnx")).string(),
                            fixture::BuildJnx(recipe).bytes);
    };
    for (int version : {3, 4}) {
        put(fixture::SimpleRecipe(version, 1, 1));
        put(fixture::SimpleRecipe(version, 3, 2));
        auto noBlock = fixture::SimpleRecipe(version, 2, 2);
        noBlock.withMapBlock = false;
        noBlock.gap = 16;
        put(noBlock);
        auto odd = fixture::SimpleRecipe(version, 2, 3);
        odd.gap = 7;
        odd.signature = {1, 2, 3, 4, 5};
        odd.reverseDataOrder = true;
        put(odd);
    }
    std::ofstream(dir / "settings" / "seed1.ini")
        << "[Preferences]\nLang=ENG\nUserLevel=2\n[System]\nBlockSize=1000\n"
           "[ZoomLevels]\nLevel1=1/8/5 m\nLevel2=11/13/8 m\n[Groups]\nGroup1=3/Some/Group\nGroupZooms1=1,2,0,-1,-2\n";
    std::ofstream(dir / "codec" / "seed1") << "A\xc3\xb1o" << '\0';
    std::ofstream(dir / "codec" / "seed2") << "BirdsEye\xe9\x80" << '\0';
    return 0;
}
