# Fresh against aged tubes: output level over input level at gain 8 (run from the repository root
# after `torvik-tubecurve > out/tubecurve.txt`).
set terminal pngcairo size 1000,600 font "DejaVu Sans,11"
set output "out/tube-families.png"
set title "Fresh vs aged 12AX7 set: output over input, gain 8, 440 Hz sine, tone 7/7/7 (exact engine)"
set xlabel "input peak (dBV at block 1)"
set ylabel "output RMS (dBV at the tone stack)"
set grid
set key top left
db(v) = 20*log10(v)
plot "out/tubecurve.txt" using (db($1)):(db($2)) with linespoints lw 2 pt 7 ps 0.6 title "fresh (eh)", \
     "out/tubecurve.txt" using (db($1)):(db($3)) with linespoints lw 2 pt 5 ps 0.6 title "aged (rsd)", \
     "out/tubecurve.txt" using (db($1)):(db($2)-db($3)) axes x1y1 with lines dt 2 lc "black" title "fresh minus aged (dB)"
