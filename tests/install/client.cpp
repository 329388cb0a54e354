// A program built against the installed library: prints the text of every
// barcode in the picture it is given.
#include <zeph/barcode.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: client PICTURE\n";
        return 2;
    }
    try {
        for (const zeph::Barcode& barcode : zeph::ReadBarcodesFromFile(argv[1]))
            std::cout << barcode.symbology << ": " << barcode.text << '\n';
    } catch (const zeph::ReadError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
