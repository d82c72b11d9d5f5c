#pragma once
// Norvane may run elevated from a folder the user can write to. Before anything is loaded,
// the DLL search path is narrowed so that a library planted beside the executable or in the
// current folder is never picked up by a bare-name load.
void NarrowDllSearchPath();
