-- Premium and claims of the short-term business by product and branch.
SELECT CASE b.city_code WHEN '3301' THEN '浙北' WHEN '3304' THEN '浙北' WHEN '3305' THEN '浙北' WHEN '3302' THEN '浙东' WHEN '3306' THEN '浙东' WHEN '3309' THEN '浙东' WHEN '3307' THEN '浙中西' WHEN '3308' THEN '浙中西' ELSE '浙南' END AS region, b.city_branch_name, b.town_branch_name, p.class_name, p.pol_name,
       SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 4) || '年' AS stat_year, c.channel_name,
       SUM(f.premium) AS premium, SUM(f.claim) AS claim
FROM f_short_claim f
JOIN d_branch b ON b.branch_code = f.mgr_branch
JOIN d_channel c ON c.channel_code = f.channel_code
JOIN d_product p ON p.pol_code = f.pol_code
GROUP BY b.city_code, b.city_branch_name, b.town_branch_name, p.class_name, p.pol_name,
         SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 4) || '年', c.channel_name
