#pragma once

// vektool's sub-commands. argv[0] is the sub-command's name; each returns the exit status, or
// throws ToolError.
int InfoCommand(int argc, char** argv);
int CheckCommand(int argc, char** argv);
int DumpCommand(int argc, char** argv);
int PackCommand(int argc, char** argv);
int DemoCommand(int argc, char** argv);
int RenderCommand(int argc, char** argv);
int UnpackCommand(int argc, char** argv);
int PreviewCommand(int argc, char** argv);
