// Writes the application's four built-in sounds as 16-bit mono PCM WAV files. The output depends
// on nothing but this file, so every build makes the same bytes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int sampleRate = 44100;

// One tone of a sound: where it starts, how long it lasts, its pitch and loudness.
struct Note
{
    double start;     // seconds
    double length;    // seconds
    double frequency; // Hz
    double level;     // 0..1 of full scale
};

// A soft attack and a decay that reaches exactly zero at the note's end, so nothing clicks.
double envelope(double t, double length)
{
    constexpr double attack = 0.006;
    if (t < 0 || t >= length)
        return 0;
    const double rise = t < attack ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / attack) : 1.0;
    const double left = (length - t) / length;
    const double fall =
        std::exp(-4.0 * t / length) * std::sin(std::numbers::pi / 2 * std::min(1.0, left * 4));
    return rise * fall;
}

std::vector<std::int16_t> render(const std::vector<Note>& notes, double total)
{
    const auto count = static_cast<std::size_t>(total * sampleRate);
    std::vector<double> mix(count, 0.0);
    for (const Note& note : notes) {
        for (std::size_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / sampleRate - note.start;
            const double gain = envelope(t, note.length);
            if (gain == 0)
                continue;
            const double phase = 2 * std::numbers::pi * note.frequency * t;
            // A little of the octave above makes it bell-like rather than a bare sine.
            mix[i] += note.level * gain * (0.8 * std::sin(phase) + 0.2 * std::sin(2 * phase));
        }
    }
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double value = std::clamp(mix[i], -1.0, 1.0);
        samples[i] = static_cast<std::int16_t>(std::lround(value * 32767.0));
    }
    return samples;
}

void put16(std::ofstream& out, std::uint16_t value)
{
    const char bytes[2] = {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
    out.write(bytes, 2);
}

void put32(std::ofstream& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.put(static_cast<char>((value >> shift) & 0xff));
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, sampleRate);
    put32(out, sampleRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (const std::int16_t sample : samples)
        put16(out, static_cast<std::uint16_t>(sample));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    struct Sound
    {
        const char* name;
        std::vector<Note> notes;
        double total;
    };
    const Sound sounds[] = {
        // Two rising notes: a question.
        {"ask", {{0.0, 0.16, 659.25, 0.45}, {0.13, 0.26, 880.0, 0.45}}, 0.45},
        // Three falling notes: finished.
        {"done", {{0.0, 0.14, 783.99, 0.4}, {0.11, 0.14, 659.25, 0.4}, {0.22, 0.3, 523.25, 0.4}}, 0.6},
        // One short high blip for a press.
        {"tap", {{0.0, 0.05, 1318.5, 0.3}}, 0.07},
        // A rising arpeggio.
        {"welcome",
         {{0.0, 0.2, 523.25, 0.35},
          {0.12, 0.2, 659.25, 0.35},
          {0.24, 0.2, 783.99, 0.35},
          {0.36, 0.5, 1046.5, 0.35}},
         0.95},
    };
    for (const Sound& sound : sounds) {
        const std::string path = folder + "/" + sound.name + ".wav";
        if (!writeWav(path, render(sound.notes, sound.total))) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
