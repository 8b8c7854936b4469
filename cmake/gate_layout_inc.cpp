// Writes gate_layout.inc, the nasm view of the password gate block's table
// (cdtool/bootmenu/gate_layout.h): for each field GATE_<name>, its offset in
// the block, and GATE_<name>_SIZE; the block's tag, alignment and size. The
// loader's source lays the block out from these names.
//   gate_layout_inc <output file>
#include <fstream>
#include <iostream>

#include "cdtool/bootmenu/gate_layout.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: gate_layout_inc <gate_layout.inc>\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << "; The password gate block's layout, written by the build from\n"
         "; cdtool/bootmenu/gate_layout.h (the table to edit; this file is made anew).\n"
         "%ifndef GATE_LAYOUT_INC\n"
         "%define GATE_LAYOUT_INC\n"
         "%define GATE_MAGIC \""
      << kiv::kGateMagic << "\"\n"
      << "GATE_ALIGN equ " << kiv::kGateAlign << "\n";
  for (const kiv::GateField& field : kiv::kGateFields) {
    out << "GATE_" << field.name << " equ " << field.offset << "\n";
    out << "GATE_" << field.name << "_SIZE equ " << field.size << "\n";
  }
  out << "GATE_SIZE equ " << kiv::kGateBlockSize << "\n"
      << "%endif\n";
  out.close();
  if (!out) {
    std::cerr << "gate_layout_inc: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
