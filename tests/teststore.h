// A generated installation for the disk and crash tests (teststore.cpp):
// libraries Lib1..LibN, each with cabinets Cab0001..CabNNNN whose
// Folder.ini lists admin and taro for update, admin and hanako for browse.
// "/set /rw jiro" turns every cabinet's Folder.ini into its "with jiro"
// form, "/set /none jiro" back; both forms are what the tool itself writes.
#pragma once

#include <string>

// Returns the name of library nLib or cabinet nCab (both from 1).
std::string TestLibName(int nLib);
std::string TestCabName(int nCab);

// Returns a cabinet's Folder.ini, with or without jiro in both lists; a
// "Pad=" line of nPad bytes in front makes it as large as a test needs.
std::string TestCabinetIni(const std::string& strCab, bool bJiro, size_t nPad);

// Makes under strRoot the program folder inst/ whose Tenbo2Lib.ini names
// strData, points the registry at it, and fills strData with User.ini and
// nLibs libraries of nCabs cabinets each (without jiro). True on success.
bool TestMakeStore(const std::string& strRoot, const std::string& strData,
                   int nLibs, int nCabs, size_t nPad);
