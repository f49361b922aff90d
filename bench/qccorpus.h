#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A generated mod of the game sources' shape: a defs.qc of builtins, fields, globals and
// constants, then monster and game files of frame macros, frame functions and functions with
// comments, locals and calls; a progs.src lists them all. CR LF line ends, as the game ships.
class QcCorpus {
public:
    QcCorpus(const std::filesystem::path &directory, std::size_t files, std::size_t totalBytes)
    {
        std::filesystem::create_directories(directory);
        const std::size_t perFile = totalBytes / files;
        std::string list = "../progs.dat\r\n";
        for (std::size_t f = 0; f < files; ++f) {
            const std::string name = f == 0 ? "defs.qc" : "file" + std::to_string(f) + ".qc";
            const std::string text = f == 0 ? defs(perFile) : gameFile(f, perFile);
            bytes_ += text.size();
            paths_.push_back((directory / name).string());
            std::ofstream(paths_.back(), std::ios::binary) << text;
            list += name + "\r\n";
        }
        std::ofstream(directory / "progs.src", std::ios::binary) << list;
    }

    const std::vector<std::string> &paths() const { return paths_; }
    std::size_t bytes() const { return bytes_; }

    // One game file of about `bytes` bytes.
    static std::string gameFile(std::size_t index, std::size_t bytes)
    {
        const std::string monster = "mon" + std::to_string(index);
        std::string text = "/*\r\n==============================================================================\r\n\r\n" +
                           monster + " behaviour\r\n\r\n"
                           "==============================================================================\r\n*/\r\n";
        text += "$cd id1/models/" + monster + "\r\n$origin 0 -6 24\r\n$base base\r\n$skin skin\r\n";
        text += "$frame stand1 stand2 stand3 stand4 stand5 stand6 stand7 stand8\r\n";
        text += "$frame run1 run2 run3 run4 run5 run6 run7 run8\r\n\r\n";
        for (int frame = 1; frame <= 8; ++frame)
            text += "void() " + monster + "_stand" + std::to_string(frame) + " =[\t$stand" + std::to_string(frame) +
                    ",\t" + monster + "_stand" + std::to_string(frame % 8 + 1) + "\t] {ai_stand();};\r\n";
        for (std::size_t n = 0; text.size() < bytes; ++n) {
            const std::string name = monster + "_think" + std::to_string(n);
            text += "\r\n/*\r\n================\r\n" + name + "\r\n\r\nDecides what to do next.\r\n================\r\n*/\r\n";
            text += "float(entity targ, float dist) " + name + " =\r\n{\r\n"
                    "\tlocal float r;\r\n\tlocal vector spot;\r\n\tlocal entity head;\r\n\r\n"
                    "\t// nothing to do for the dead\r\n"
                    "\tif (self.health <= 0)\r\n\t\treturn FALSE;\r\n"
                    "\tr = random() * dist;\r\n"
                    "\tspot = self.origin + self.view_ofs + '0 0 16';\r\n"
                    "\ttraceline(spot, targ.origin, FALSE, self);\r\n"
                    "\thead = findradius(self.origin, 1000);\r\n"
                    "\twhile (head)\r\n\t{\r\n\t\tif (head.takedamage)\r\n\t\t\tT_Damage(head, self, self, r);\r\n"
                    "\t\thead = head.chain;\r\n\t}\r\n"
                    "\tsound(self, CHAN_VOICE, \"" + monster + "/idle.wav\", 1, ATTN_IDLE);\r\n"
                    "\treturn r * 2;\r\n};\r\n";
        }
        return text;
    }

    static std::string defs(std::size_t bytes)
    {
        std::string text = "/*\r\n==============================================================================\r\n"
                           "\t\t\tSOURCE FOR GLOBALVARS_T C STRUCTURE\r\n"
                           "==============================================================================\r\n*/\r\n"
                           "entity\t\tself;\r\nentity\t\tother;\r\nfloat\t\ttime;\r\n";
        for (std::size_t n = 0; text.size() < bytes; ++n) {
            const std::string k = std::to_string(n);
            text += "float\tFL_FLAG" + k + "\t\t\t= " + k + ";\t// a flag\r\n";
            text += ".float\t\tfield" + k + ";\r\n";
            text += ".vector\t\tvfield" + k + ", wfield" + k + ";\t// where it looks\r\n";
            text += "float\t\tglobal" + k + ";\r\n";
            text += "void(entity e, vector o) builtin" + k + "\t= #" + std::to_string(n % 100) + ";\r\n";
            text += "// sets the thing\r\nvoid(float f) proto" + k + ";\r\n";
        }
        return text;
    }

private:
    std::vector<std::string> paths_;
    std::size_t bytes_ = 0;
};
