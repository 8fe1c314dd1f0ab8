set style data l 
#set encoding iso_8859_15
#set terminal postscript enhanced color solid
#set output
#set ylabel 'Cross section [\305^2]'
set ylabel 'Cross section [A^2]'
set xlabel 'Energy [eV]'
plot [0.00:5.00] '{tmp}/work/data/HCl_Tv0300TJ0300K.dat' u 1:2 t 'DEA, HCl, Tv =  300K, TJ =  300K'
pause -1
set terminal pop
set output
