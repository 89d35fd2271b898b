#ifndef PSEUDOWORDS_H
#define PSEUDOWORDS_H

#include <QSet>
#include <QString>
#include <QStringList>

#include <random>
#include <vector>

// Made-up vocabularies for the archive benchmarks: words that look alike in
// length and letters to real chat words, used with Zipf frequencies.

/// @p count distinct words of @p minSyllables to @p maxSyllables syllables,
/// each syllable an onset and a vowel drawn by @p random.
template<size_t Onsets, size_t Vowels>
QStringList pseudoWords(std::mt19937 &random, int count, int minSyllables, int maxSyllables,
    const char *const (&onsets)[Onsets], const char *const (&vowels)[Vowels])
{
    QStringList words;
    QSet<QString> seen;
    while (words.size() < count) {
        QString word;
        const int syllables = minSyllables + int(random() % (maxSyllables - minSyllables + 1));
        for (int s = 0; s < syllables; ++s) {
            word += QLatin1String(onsets[random() % Onsets]);
            word += QLatin1String(vowels[random() % Vowels]);
        }
        if (!seen.contains(word)) {
            seen.insert(word);
            words << word;
        }
    }
    return words;
}

/// Picks word i of @p count with a weight of 1 / (i + 1), as word use goes.
inline std::discrete_distribution<int> zipfPick(int count)
{
    std::vector<double> weights(static_cast<size_t>(count));
    for (size_t i = 0; i < weights.size(); ++i) {
        weights[i] = 1.0 / double(i + 1);
    }
    return std::discrete_distribution<int>(weights.begin(), weights.end());
}

#endif // PSEUDOWORDS_H
