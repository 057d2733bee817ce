#pragma once
// The typed-key commands of the main window: one character per pass plus the held keys.
namespace qvtk {

// Reads one typed character and the held keys (F1, Ctrl, Shift) and executes the command.
void DispatchKey();

// Executes one typed character as a command (letters in either case). Characters outside
// 9..122 and those without a command are ignored.
void ExecuteKey(int character);

// Key F and the toolbar's Setup: the CAN Logger Setting dialog for logger model 1 once the
// program has it, otherwise the Setup dialog.
void OpenLoggerSetup();

// Samples of a Shift+arrow scroll step: (Ctrl ? 80 : 40) x HorizontalCompression.
int ScrollStepSamples();

} // namespace qvtk
