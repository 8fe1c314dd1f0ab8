set style data l 
set xlabel 'Energy [eV]'
set ylabel 'Cross section [A^2]'
plot [0.00:3.00] '{tmp}/work/data/HCl_DA00J03FWHM050.dat'u 1:2 t 'DEA, HCl( 0, 3), FWHM  50meV'
pause -1
