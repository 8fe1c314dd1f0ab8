set style data l 
set xlabel 'Energy [eV]'
set ylabel 'Cross section [A^2]'
plot [:] '{tmp}/work/data/HCl_adTotalFWHM050.dat' u 1:2 t 'Total AED, HCl FWHM  50 meV'
pause -1
